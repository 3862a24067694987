#!/usr/bin/env bash
# Installs, builds, makes the embedded demo database beside the program (once) and
# starts Kordane on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
build/bin/kordane-makedb
exec build/bin/Kordane
