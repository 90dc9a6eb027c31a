#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/, replays the committed corpus and
# the golden inputs, then fuzzes each target for SECONDS.
#   bash fuzz/run.sh [SECONDS] [--merge] [TARGET...]
# SECONDS 0 (the default) only replays. --merge folds the new inputs into
# fuzz/corpus/<target>/. TARGET: fuzz_convert, fuzz_primitives (default both).
# One fuzzing process at a time, one core. Crashes go to build-fuzz/findings/;
# the exit code is non-zero when any target crashed.
# Environment: OSTREL_SAMPLES, the real LTFS indexes used as seeds
# (default ../shared/ltfs-samples).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
samples=${OSTREL_SAMPLES:-$root/../shared/ltfs-samples}
seconds=0
merge=0
targets=()
for argument in "$@"; do
  case $argument in
    --merge) merge=1 ;;
    fuzz_*) targets+=("$argument") ;;
    *[!0-9]*|'') echo "usage: run.sh [SECONDS] [--merge] [TARGET...]"; exit 2 ;;
    *) seconds=$argument ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_convert fuzz_primitives)
corpus_cap=300

max_len() { # the whole conversion needs room for the 1001 levels of the nesting limit
  case $1 in fuzz_convert) echo 16384 ;; *) echo 4096 ;; esac
}
# fuzz_convert ends its conversions by longjmp and checks leaks itself.
flags() {
  case $1 in fuzz_convert) echo -detect_leaks=0 ;; *) echo ;; esac
}

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
  cmake --build "$build" -j1 >"$build/build.log" 2>&1 ||
  { cat "$build/build.log" 2>/dev/null; echo "build failed"; exit 2; }
mkdir -p "$build/findings"

# Seeds, made anew each run: the golden inputs and the real indexes, a large
# index cut into a few max_len pieces (each after the declaration).
make_seeds() { # target folder
  local limit folder=$2 sample n offset
  limit=$(max_len "$1")
  rm -rf "$folder" && mkdir -p "$folder"
  for input in "$root"/tests/cases/*/in.xml; do
    cp "$input" "$folder/case-$(basename "$(dirname "$input")").xml"
  done
  for sample in "$samples"/*.xml; do
    [ -e "$sample" ] || continue
    n=$(basename "$sample" .xml)
    head -c "$limit" "$sample" >"$folder/sample-$n.xml"
    for offset in 1 2 3; do
      [ "$(stat -c %s "$sample")" -gt $((limit * (offset + 1))) ] || break
      { printf '<?xml version="1.0" encoding="UTF-8"?>\n'
        tail -c +$((limit * offset)) "$sample" | head -c $((limit - 39)); } >"$folder/sample-$n-$offset.xml"
    done
  done
}

# Lines of 32 bytes or more that stand in a real index but in no golden input:
# a corpus input holding one is a copy of that index, not the fuzzer's own, and
# stays out of fuzz/.
sample_lines=$build/sample-lines.txt
lines_of() { cat "$@" 2>/dev/null | tr -d '\r' | awk 'length >= 32' | LC_ALL=C sort -u; }
LC_ALL=C comm -23 <(lines_of "$samples"/*.xml) <(lines_of "$root"/tests/cases/*/in.xml) \
  >"$sample_lines"

status=0
for target in "${targets[@]}"; do
  binary=$build/$target
  committed=$root/fuzz/corpus/$target
  work=$build/corpus/$target
  seeds=$build/seeds/$target
  mkdir -p "$committed" "$work"
  make_seeds "$target" "$seeds"

  # (a) Replay, no mutation: every committed input and every golden input.
  replay=("$committed"/* "$root"/tests/cases/*/in.xml)
  [ -e "${replay[0]}" ] || replay=("${replay[@]:1}")
  echo "== $target: replaying ${#replay[@]} inputs"
  # shellcheck disable=SC2046
  if ! "$binary" $(flags "$target") -artifact_prefix="$build/findings/$target-" \
      "${replay[@]}" >"$build/$target-replay.log" 2>&1; then
    tail -40 "$build/$target-replay.log"
    echo "== $target: replay crashed"
    status=1
    continue
  fi

  # (b) Fuzz; new inputs go to the work corpus in build-fuzz/.
  if [ "$seconds" -gt 0 ]; then
    echo "== $target: fuzzing for $seconds s (log: build-fuzz/$target.log)"
    # shellcheck disable=SC2046
    if ! "$binary" $(flags "$target") -max_len="$(max_len "$target")" \
        -dict="$root/fuzz/ostrel.dict" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" \
        "$work" "$committed" "$seeds" >"$build/$target.log" 2>&1; then
      tail -60 "$build/$target.log"
      echo "== $target: crashed, see build-fuzz/findings/"
      status=1
    fi
    grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$build/$target.log" | tail -1
    grep -E 'stat::number_of_executed_units' "$build/$target.log"
  fi

  if [ $merge = 1 ]; then
    fresh=$build/merge/$target
    rm -rf "$fresh" && mkdir -p "$fresh"
    # shellcheck disable=SC2046
    "$binary" $(flags "$target") -merge=1 -max_len="$(max_len "$target")" \
      "$fresh" "$committed" "$work" >"$build/$target-merge.log" 2>&1 ||
      { tail -20 "$build/$target-merge.log"; echo "== $target: merge failed"; status=1; continue; }
    for input in "$fresh"/*; do
      [ -e "$input" ] || continue
      if [ -s "$sample_lines" ] && tr -d '\r' <"$input" | grep -qxFf "$sample_lines"; then
        rm "$input"
      fi
    done
    # Keep the smallest inputs when the set grows past the cap.
    ls -S -r "$fresh" | tail -n +$((corpus_cap + 1)) | while read -r extra; do
      rm "$fresh/$extra"
    done
    rm -rf "$committed" && mv "$fresh" "$committed"
    echo "== $target: fuzz/corpus/$target holds $(ls "$committed" | wc -l) inputs"
  fi
done
exit $status
