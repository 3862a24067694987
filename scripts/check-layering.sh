#!/usr/bin/env bash
# Fails when a file includes a header from a folder its own folder may not depend on.
# Each line: a folder, then the folders its files may include from (besides their own).
set -euo pipefail
cd "$(dirname "$0")/.."
rules=(
  "drivers/api"
  "drivers/fbkit"
  "drivers drivers/api drivers/fbkit"
  "data drivers/api"
  "attendance data drivers/api"
  "widgets data drivers/api"
  "forms widgets attendance data drivers/api"
  "app forms widgets attendance data drivers/api"
  "tools/sheet"
  "tools/process"
  "tools/rawfb drivers/fbkit"
  "tools/admin tools/sheet tools/process tools/rawfb attendance data drivers/api drivers/fbkit"
  "tools/report tools/sheet tools/process attendance data drivers/api"
)
status=0
for rule in "${rules[@]}"; do
  read -r folder allowed <<<"$rule"
  # The folder's own files, less those of a more specific rule (drivers/ less drivers/api).
  files=$(git ls-files "$folder" | grep -E '\.(cpp|h)$' || true)
  for other in "${rules[@]}"; do
    sub=${other%% *}
    [[ $sub == "$folder"/* ]] && files=$(grep -v "^$sub/" <<<"$files" || true)
  done
  for file in $files; do
    while read -r included; do
      ok=0
      for prefix in "$folder" $allowed; do
        [[ $included == "$prefix"/* ]] && ok=1
      done
      if [ $ok = 0 ]; then
        echo "$file includes $included: $folder may use only ${allowed:-itself}" >&2
        status=1
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
  done
done
exit $status
