#!/usr/bin/env bash
# Holds every commit since the commit-message rule began (merges too) to
# scripts/commit-msg; the commits before it keep their messages.
#   check-commits.sh [BASE]    BASE: the first commit checked (by default, the rule's first)
set -euo pipefail
cd "$(dirname "$0")/.."
base=${1:-ea024adab2220f8dc9624263b2992c7667152847}
if ! git cat-file -e "$base^{commit}" 2>/dev/null; then
  echo "check-commits: $base is not in this clone (a shallow clone?): commits not checked" >&2
  exit 0
fi
if ! git merge-base --is-ancestor "$base" HEAD; then
  echo "check-commits: HEAD does not descend from $base: commits not checked" >&2
  exit 0
fi
message=$(mktemp)
trap 'rm -f "$message"' EXIT
status=0
for commit in "$base" $(git rev-list "$base..HEAD"); do
  git log -1 --format=%B "$commit" >"$message"
  if ! fault=$(scripts/commit-msg "$message" 2>&1); then
    fault=${fault%%$'\n'*}
    echo "check-commits: $(git rev-parse --short "$commit"): ${fault#commit-msg: }" >&2
    status=1
  fi
done
exit $status
