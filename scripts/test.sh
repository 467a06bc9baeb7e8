#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test, then
# builds the table engine with AddressSanitizer and UndefinedBehaviorSanitizer and runs its
# tests again. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

cmake --preset ci-asan
cmake --build --preset ci-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset ci-asan -j "$jobs"
