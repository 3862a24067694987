#!/usr/bin/env bash
# Builds the Debian package with the flags Debian builds its own with, from dpkg-buildflags
# (optimisation; fortify, stack protector, relro and bind now, all of its hardening), and
# prints its path.
#   build-package.sh [BUILD_DIR]    (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
# CMake reads no CPPFLAGS: they go with the compiler's, as debhelper passes them. No build
# type, so that nothing overrides the optimisation the flags choose.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target kordane_installed >&2
rm -f "$dir"/kordane_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$(cd "$dir" && pwd)"/kordane_*.deb
