#!/usr/bin/env bash
# Builds the libFuzzer programs with clang and runs each over a copy of its corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET (default 60)] [TARGET...]
# New inputs go to build-fuzz/corpus/<target>/ (the checked-in corpus is only read); a crash
# leaves its input in build-fuzz/findings/<target>/ and makes the script fail. To keep an
# input as a regression case, copy it into fuzz/corpus/<target>/: the fuzz test label replays
# every file there.
set -euo pipefail

cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true

bash scripts/setup.sh --no-build
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}" -- -j"$(nproc)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  echo "== fuzz_$t for ${seconds}s"
  # -rss_limit_mb: the decoders may legitimately take a few hundred MiB for a huge picture size.
  if ! "$build/fuzz/fuzz_$t" "$work" "fuzz/corpus/$t" -max_total_time="$seconds" -max_len=65536 \
      -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 -artifact_prefix="$findings/" \
      >"$build/fuzz_$t.log" 2>&1; then
    failed+=("$t")
    tail -40 "$build/fuzz_$t.log"
  fi
  grep -E "^(stat::number_of_executed_units|stat::new_units_added)" "$build/fuzz_$t.log" | tr '\n' ' '
  echo
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]} (inputs under $build/findings/)" >&2
  exit 1
fi
echo "fuzz.sh: no findings"
