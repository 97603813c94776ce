#!/usr/bin/env bash
# Configures and builds Zarnix 4 into the given build folder (default: build).
#   build.sh [--target T] [BUILD_DIR] [CMAKE_ARGS...]
# --target builds only that target (./run builds only the editor); further arguments go to
# CMake's configure step.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target=()
if [ "${1:-}" = "--target" ]; then
  target=(--target "$2")
  shift 2
fi
build="${1:-$here/build}"
shift || true
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE="${ZARNIX_BUILD_TYPE:-Release}" "$@" >/dev/null
cmake --build "$build" -j "$jobs" "${target[@]}"
