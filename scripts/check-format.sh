#!/usr/bin/env bash
# Fails when a C++ file of the repository is not as clang-format (.clang-format) writes it.
# With --fix, rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
[ "${1:-}" = --fix ] && mode=(-i)
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format "${mode[@]}"
