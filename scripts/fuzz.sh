#!/usr/bin/env bash
# Builds the libFuzzer programs (clang, address and undefined-behaviour
# sanitizers) and runs each for a while over its seeds: the sample drawings,
# the inputs kept under tests/data/fuzz and the folders given with --seeds.
# Prints each target's executions; exits non-zero on any crash, timeout or
# out-of-memory and leaves the input under build-fuzz/crashes/<target>/.
#
#   scripts/fuzz.sh [--seconds N] [--seeds DIR...] [--targets a,b] [--no-checksums]
#
# --no-checksums builds into build-fuzz-nocrc with every stored checksum
# accepted, so that mutated drawings reach the object decoders.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
extra_seeds=()
targets=(drawing container_r13_2000 container_2004 container_2007 preview ini font_table objects)
build=build-fuzz
checksums=ON
while (($#)); do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --seconds=*) seconds="${1#*=}"; shift ;;
    --seeds) shift; while (($#)) && [[ "$1" != --* ]]; do extra_seeds+=("$(realpath "$1")"); shift; done ;;
    --targets) IFS=, read -r -a targets <<<"$2"; shift 2 ;;
    --targets=*) IFS=, read -r -a targets <<<"${1#*=}"; shift ;;
    --no-checksums) build=build-fuzz-nocrc; checksums=OFF; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "fuzz.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh
ignore=OFF; [ "$checksums" = OFF ] && ignore=ON
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVELIN_FUZZ=ON -DCORVELIN_FUZZ_IGNORE_CHECKSUMS="$ignore" \
  -DCORVELIN_GUI=OFF -DCORVELIN_TESTS=OFF -DCORVELIN_BENCHMARKS=OFF >/dev/null
build_targets=("${targets[@]/#/fuzz_}")
[[ " ${targets[*]} " == *" objects "* ]] && build_targets+=(fuzz_object_seeds)
cmake --build "$build" -j "$(nproc)" --target "${build_targets[@]}"

samples=../shared/samples
# Seeds of a target in a folder of its own: only what the target reads.
seed_folder() {
  local target=$1 folder="$build/seeds/$1"
  rm -rf "$folder"; mkdir -p "$folder"
  local pattern=""
  case "$target" in
    drawing|preview) pattern='AC10' ;;
    container_r13_2000) pattern='AC101[245]' ;;
    container_2004) pattern='AC10(18|24|27|32)' ;;
    container_2007) pattern='AC1021' ;;
  esac
  # The preview reader reads a few kilobytes of a drawing: small drawings
  # keep its executions fast.
  local size=()
  [ "$target" = preview ] && size=(-size -100k)
  if [ -n "$pattern" ] && [ -d "$samples/dwg" ]; then
    while IFS= read -r -d '' f; do
      head -c 6 "$f" | grep -Eq "^$pattern" && cp "$f" "$folder/$(echo "$f" | tr '/' '_')"
    done < <(find "$samples/dwg" tests/data -name '*.dwg' -type f "${size[@]}" -print0 2>/dev/null)
  fi
  # The objects target reads one stored object: the samples' objects, cut out.
  if [ "$target" = objects ] && [ -d "$samples/dwg" ]; then
    "$build/fuzz/fuzz_object_seeds" "$folder" "$samples/dwg" tests/data >/dev/null 2>&1
  fi
  [ -d "fuzz/seeds/$target" ] && cp fuzz/seeds/"$target"/* "$folder/"
  [ "$target" = font_table ] && cp fuzz/seeds/ini/* examples/HebFonts.txt "$folder/" 2>/dev/null
  [ "$target" = ini ] && cp fuzz/seeds/font_table/* "$folder/"
  echo "$folder"
}

dictionary() {
  case "$1" in
    drawing|container_*) echo fuzz/dictionaries/dwg.dict ;;
    preview) echo fuzz/dictionaries/preview.dict ;;
    objects) echo fuzz/dictionaries/objects.dict ;;
    *) echo fuzz/dictionaries/ini.dict ;;
  esac
}

status=0
for target in "${targets[@]}"; do
  seeds=$(seed_folder "$target")
  corpus="$build/corpus/$target"
  crashes="build-fuzz/crashes/$target/"
  mkdir -p "$corpus" "$crashes"
  kept=()
  [ -d "tests/data/fuzz/$target" ] && kept+=("tests/data/fuzz/$target")
  log="$build/$target.log"
  # One core: the corpus folder first (new inputs go there), then the seeds.
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -malloc_limit_mb=1024 -dict="$(dictionary "$target")" -artifact_prefix="$crashes" \
       -print_final_stats=1 -close_fd_mask=1 "$corpus" "$seeds" "${kept[@]}" "${extra_seeds[@]}" >"$log" 2>&1; then
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no finding"
  else
    status=1
    echo "fuzz $target: FINDING (log $log, input under $crashes)"
    grep -E 'ERROR|fuzz target|SUMMARY|Test unit written' "$log" | head -n 5 | sed 's/^/  /'
  fi
done
exit $status
