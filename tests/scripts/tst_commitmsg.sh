#!/usr/bin/env bash
# The commit-message rule: what scripts/commit-msg lets through and refuses, and
# scripts/check-commits.sh over a small history of its own.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# accepted MESSAGE / refused MESSAGE: commit-msg on a file holding MESSAGE.
check() { printf '%s' "$1" >"$work/message" && "$source/scripts/commit-msg" "$work/message" 2>"$work/err"; }
accepted() { check "$1" || fail "refused: $(head -n 1 "$work/err") for: $1"; }
refused() { if check "$1"; then fail "accepted: $1"; fi; }

seventy_one=$(printf '勤%.0s' {1..71})
accepted $'Use the dialog results by name\n'
accepted $'Use the dialog results by name\n\nThe answers were compared with numbers.\n'
accepted "A$seventy_one"$'\n'
accepted $'Merge CSV cells no spreadsheet runs, and cleaner employee imports\n\nBody.\n'
# What git's editor shows: comments and, for commit -v, a diff below the scissors.
accepted $'Keep the grid\'s state in one place\n\n# Please enter the commit message for your changes.\n'
accepted $'Keep the grid\'s state in one place\n# ------------------------ >8 ------------------------\n# Do not modify or remove the line above.\ndiff --git a/x b/x\n'

refused "AB$seventy_one"$'\n'
refused $'use the dialog results by name\n'
refused $'Use the dialog results by name.\n'
refused $'Use the dialog results by name\nThe answers were compared with numbers.\n'
refused $' Use the dialog results by name\n'
refused $'# only a comment\n'

# check-commits.sh in a repository of its own: a good history passes, a merge's own
# subject counts too, one bad commit fails it by name, and a missing base is skipped.
repo=$work/repo
git init -q "$repo"
mkdir "$repo/scripts"
cp "$source/scripts/commit-msg" "$source/scripts/check-commits.sh" "$repo/scripts/"
commit() { git -C "$repo" -c user.name=T -c user.email=t@example.invalid commit -q --allow-empty "$@"; }
commit -m "Start before the rule."
commit -m $'Start the rule\n\nWhy.'
base=$(git -C "$repo" rev-parse HEAD)
git -C "$repo" checkout -q -b side
commit -m "Add a side commit"
git -C "$repo" checkout -q -
git -C "$repo" -c user.name=T -c user.email=t@example.invalid merge -q --no-ff --no-edit side
bash "$repo/scripts/check-commits.sh" "$base" 2>"$work/err" || fail "a good history failed: $(cat "$work/err")"
commit -m "added a bad one"
bad=$(git -C "$repo" rev-parse --short HEAD)
if bash "$repo/scripts/check-commits.sh" "$base" 2>"$work/err"; then
  fail "a bad commit passed"
fi
grep -q "^check-commits: $bad: the subject does not start with a capital letter" "$work/err" \
  || fail "the bad commit was not named: $(cat "$work/err")"
bash "$repo/scripts/check-commits.sh" 0123456789012345678901234567890123456789 2>"$work/err" \
  || fail "a missing base failed: $(cat "$work/err")"
grep -q "not checked" "$work/err" || fail "a missing base was not said"

[ $failures -eq 0 ] && echo "tst_commitmsg: passed"
exit $((failures > 0))
