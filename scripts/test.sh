#!/usr/bin/env bash
# Installs what is needed, builds, and runs the test suites.
#   scripts/test.sh [--asan|--tsan] [ctest arguments, e.g. -L record]
set -euo pipefail

cd "$(dirname "$0")/.."

setup_args=()
build_dir=build
if [ "${1:-}" = "--asan" ] || [ "${1:-}" = "--tsan" ]; then
  setup_args+=("$1")
  build_dir="build-${1#--}"
  shift
fi

bash scripts/setup.sh "${setup_args[@]}"

# Tests never need a display or a sound card; keep runtime files in a private folder.
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/qv-runtime.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"

ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" "$@"
