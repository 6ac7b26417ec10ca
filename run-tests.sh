#!/usr/bin/env bash
# Builds (if needed) and runs every test. SANITIZE=1 uses a separate build
# with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
bash setup.sh tests
command -v make >/dev/null || export CMAKE_GENERATOR=Ninja
dir=build
opts=()
if [ "${SANITIZE:-0}" = 1 ]; then
  dir=build-sanitize
  opts=(-DSCANMERGE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" "${opts[@]}" >/dev/null
cmake --build "$dir" -j2
ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2
