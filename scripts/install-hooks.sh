#!/usr/bin/env bash
# Installs the project's commit-msg hook where git looks for this clone's hooks (shared by
# its worktrees, or core.hooksPath). The hook runs the committing worktree's own
# scripts/commit-msg, so each branch is checked by the rule it carries. Safe to run again;
# a commit-msg hook of someone else's is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
hooks=$(git rev-parse --path-format=absolute --git-path hooks)
hook=$hooks/commit-msg
marker="installed by Kordane's scripts/install-hooks.sh"
if [ -e "$hook" ] && ! grep -qF "$marker" "$hook"; then
  echo "install-hooks: $hook is not Kordane's; left as it is" >&2
  exit 1
fi
mkdir -p "$hooks"
temporary=$(mktemp "$hooks/.commit-msg.XXXXXX")
trap 'rm -f "$temporary"' EXIT
cat >"$temporary" <<HOOK
#!/bin/sh
# $marker
script=\$(git rev-parse --show-toplevel)/scripts/commit-msg
# A branch from before the rule has no check of its own.
[ -x "\$script" ] || exit 0
exec "\$script" "\$1"
HOOK
chmod 755 "$temporary"
mv "$temporary" "$hook"
trap - EXIT
echo "install-hooks: $hook"
