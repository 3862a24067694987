#!/usr/bin/env bash
# Installs, checks the code's format and the commit messages, then builds with warnings
# as errors, looks for functions nothing calls, and runs every test: once as built, then
# the Debian package installed, started and purged on this machine, then once under
# AddressSanitizer and UndefinedBehaviorSanitizer (with clang, which also builds the
# fuzz targets).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh all
bash scripts/check-format.sh
bash scripts/check-commits.sh
bash scripts/build.sh build -DKORDANE_WERROR=ON
bash scripts/check-unused.sh build
(cd build && ctest --output-on-failure -j 2)
bash scripts/package-test.sh build-package
if [ "${KORDANE_SKIP_SANITIZERS:-0}" != 1 ]; then
  CC=clang CXX=clang++ bash scripts/build.sh build-asan -DKORDANE_WERROR=ON -DKORDANE_SANITIZE=ON -DKORDANE_FBSERVER_PORT=33060
  (cd build-asan && ctest --output-on-failure -j 2)
fi
