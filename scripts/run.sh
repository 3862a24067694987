#!/usr/bin/env bash
# Installs what the program needs, builds only the program, its driver and the admin
# tool, makes the embedded demo database beside the program (once) and starts Kordane
# on it. Works for a user outside the firebird group: the engine keeps its locks beside
# the database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target Kordane dbxfb kordane-admin makedemo
build/bin/kordane-admin init
exec build/bin/Kordane
