#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer),
# replays the kept regressions, then fuzzes each target for a bounded time:
#   fuzz/run.sh [seconds per target, default 60]
# A failing input is written to build-fuzz/fuzz-artifacts/ and the script fails; once the
# fault is fixed, copy the input into fuzz/regressions/<target>/ so that it is replayed
# from then on. The corpus the fuzzer grows is kept between runs in fuzz/corpus-run/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
build=build-fuzz
targets=(fuzz_o_file fuzz_layout fuzz_log_file)

echo "== building the fuzz targets =="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}" rendering_oracle_test campaign_generator

echo "== replaying the seeds and the regressions =="
ctest --test-dir "$build/fuzz" --output-on-failure

# O-file seeds: small synthetic campaigns with both line ends and every set of ratio lines.
o_file_seeds="$build/fuzz-seeds/fuzz_o_file"
rm -rf "$o_file_seeds"
generate() { "$build/campaign_generator" --dir "$o_file_seeds" "$@" >/dev/null; }
generate --reports 4 --seed 1 --line-ends dos --edition both --prefix AB --list AB.LST
generate --reports 4 --seed 2 --line-ends unix --edition quelmar --prefix QU --list QU.LST
generate --reports 4 --seed 3 --line-ends dos --edition novrale --prefix NO --list NO.LST

mkdir -p "$build/fuzz-artifacts"
# fuzz <target> <seed folders...>: new inputs go to the target's folder in fuzz/corpus-run/.
fuzz() {
  local target="$1"
  shift
  echo "== $target for ${seconds} s =="
  mkdir -p "fuzz/corpus-run/$target"
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=16384 -dict="fuzz/$target.dict" -artifact_prefix="$build/fuzz-artifacts/$target-" \
    -print_final_stats=1 "fuzz/corpus-run/$target" "$@"
}
o_file_seed_folders=("$o_file_seeds" fuzz/seeds/fuzz_o_file)
if compgen -G "examples/*" >/dev/null; then o_file_seed_folders+=(examples); fi
fuzz fuzz_o_file "${o_file_seed_folders[@]}"
fuzz fuzz_layout fuzz/seeds/fuzz_layout
fuzz fuzz_log_file fuzz/seeds/fuzz_log_file
