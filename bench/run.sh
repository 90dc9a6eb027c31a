#!/usr/bin/env bash
# Times ostrel on generated indexes of several sizes against two floors
# measured in the same run: read_floor (load the index as ostrel does, memchr
# every '<') and write_floor (ostrel's own write requests, nothing else).
# Ratios to the floors stay meaningful on a busy machine; absolute times do not.
#   bash bench/run.sh [--sizes "10000 100000 1000000"] [--runs N] [--peer-runs N]
#                     [--no-peer] [--strace-all] [--no-callgrind]
# --runs: timed rounds after one warm-up round (default 5); each round runs
# ostrel and each floor once; medians are reported. --peer-runs: runs of the
# Python peer (default 3, no warm-up). --strace-all: take every write-size
# list from strace instead of the smallest one only (slow: about 0.1 ms per
# request under ptrace). --no-callgrind: skip counting instructions under
# callgrind on the smallest index.
# Needs cmake, a C++17 compiler, python3, hyperfine, strace and valgrind
# (Debian: cmake g++ python3 hyperfine strace valgrind; valgrind only without
# --no-callgrind). Builds into build-bench/, caches the
# indexes in build-bench/data/, writes lists to build-bench/out/ and results
# to build-bench/results/ (table.md is the table printed at the end).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
data=$build/data
out=$build/out
results=$build/results
sizes="10000 100000 1000000"
runs=5
peer_runs=3
peer=1
strace_all=0
callgrind=1
while [ $# -gt 0 ]; do
  case $1 in
    --sizes) sizes=$2; shift ;;
    --runs) runs=$2; shift ;;
    --peer-runs) peer_runs=$2; shift ;;
    --no-peer) peer=0 ;;
    --strace-all) strace_all=1 ;;
    --no-callgrind) callgrind=0 ;;
    *) echo "usage: run.sh [--sizes \"N...\"] [--runs N] [--peer-runs N] [--no-peer] [--strace-all] [--no-callgrind]"
       exit 2 ;;
  esac
  shift
done
tools="cmake hyperfine python3 strace"
[ $callgrind = 1 ] && tools="$tools valgrind"
for tool in $tools; do
  command -v $tool >/dev/null || { echo "run.sh: $tool is missing (apt-get install $tool)"; exit 2; }
done
mkdir -p "$build" "$data" "$out" "$results"

# ostrel from the root project as it is in the work tree, Release, no tests.
echo "building ostrel and the bench tools"
{ cmake -S "$root" -B "$build/ostrel" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
  cmake --build "$build/ostrel" --target ostrel -j2 &&
  cmake -S "$root/bench" -B "$build" -DCMAKE_BUILD_TYPE=Release &&
  cmake --build "$build" -j2; } >"$results/build.log" 2>&1 ||
  { cat "$results/build.log"; echo "run.sh: build failed"; exit 2; }
ostrel=$build/ostrel/ostrel
# What was measured: the commit, and whether src/ differed from it.
built="ostrel $(git -C "$root" rev-parse --short HEAD 2>/dev/null)$(git -C "$root" diff --quiet HEAD -- src CMakeLists.txt 2>/dev/null || echo ' with uncommitted changes'), built $(date -u +%Y-%m-%dT%H:%MZ)"

# User-space instructions of one run, from callgrind's totals; empty on failure.
count_instructions() { # name, command...
  local name=$1; shift
  valgrind --tool=callgrind --callgrind-out-file="$results/$n-$name.callgrind" "$@" \
    >/dev/null 2>"$results/$n-$name.valgrind.txt" &&
    sed -n 's/^totals: *//p' "$results/$n-$name.callgrind"
}

smallest=$(printf '%s\n' $sizes | sort -n | head -n 1)
report_sizes=()
for n in $sizes; do
  rm -f "$results/$n".* "$results/$n"-*
  xml=$data/files-$n.xml
  # Made again only when the generator changed.
  if [ ! -s "$xml" ] || [ "$build/gen_index" -nt "$xml" ]; then
    "$build/gen_index" "$n" "$xml" || exit 2
  fi
  list=$out/ostrel-$n.oxl
  "$ostrel" "$xml" "$list" >/dev/null || { echo "run.sh: ostrel failed on $xml"; exit 2; }

  # The write requests: derived from the list, checked against strace.
  sizes_bin=$data/sizes-$n.bin
  read -r requests bytes rows < <(python3 "$root/bench/write_sizes.py" oxl "$list" "$sizes_bin")
  if [ "$bytes" != "$(stat -c %s "$list")" ]; then
    echo "run.sh: write sizes of $list add up to $bytes bytes"; exit 2
  fi
  if [ "$n" = "$smallest" ] || [ $strace_all = 1 ]; then
    strace -qq -s 0 -e trace=openat,write -e signal=none -o "$results/strace-$n.txt" \
      "$ostrel" "$xml" "$list" >/dev/null &&
      python3 "$root/bench/write_sizes.py" strace "$results/strace-$n.txt" "$list" \
        "$data/sizes-$n-strace.bin" >/dev/null || exit 2
    if ! cmp -s "$sizes_bin" "$data/sizes-$n-strace.bin"; then
      echo "run.sh: the write requests derived from $list differ from strace's"; exit 2
    fi
    rm -f "$results/strace-$n.txt"
    echo "files $n: the derived write requests equal strace's ($requests requests)"
  fi
  if [ $peer = 1 ] && [ "$n" = "$smallest" ]; then
    python3 "$root/bench/peer_xml_to_oxl.py" "$xml" "$out/peer-$n.oxl" &&
      if cmp -s "$list" "$out/peer-$n.oxl"; then
        echo "files $n: the Python peer's list equals ostrel's"
      else
        echo "run.sh: the Python peer's list differs from ostrel's on $xml"; exit 2
      fi
  fi
  echo "$(stat -c %s "$xml") $rows $requests" >"$results/$n.info"

  # Rounds of one run of each command, so that a burst of load elsewhere hits
  # ostrel and the floors alike; round 0 is the warm-up and is not counted.
  echo "files $n: timing, $runs rounds"
  for ((round = 0; round <= runs; round++)); do
    hyperfine -N --style none --runs 1 --export-json "$results/$n-round$round.json" \
      -n ostrel "$build/rusage_run $results/$n-ostrel.log $ostrel $xml $list" \
      -n read_floor "$build/rusage_run $results/$n-read.log $build/read_floor $xml" \
      -n read_floor_huge "$build/rusage_run $results/$n-read_huge.log $build/read_floor --huge $xml" \
      -n write_floor "$build/rusage_run $results/$n-write.log $build/write_floor $sizes_bin $out/floor-$n.oxl" \
      >"$results/$n.hyperfine.txt" 2>&1 || { cat "$results/$n.hyperfine.txt"; exit 2; }
  done
  # Instructions in user space, free of noise: ostrel's against the floors'.
  if [ "$n" = "$smallest" ] && [ $callgrind = 1 ]; then
    echo "$(count_instructions ostrel "$ostrel" "$xml" "$list")" \
      "$(count_instructions read_floor_huge "$build/read_floor" --huge "$xml")" \
      "$(count_instructions write_floor "$build/write_floor" "$sizes_bin" "$out/floor-$n.oxl")" \
      >"$results/$n.instructions"
    [ "$(wc -w <"$results/$n.instructions")" = 3 ] || { echo "run.sh: callgrind failed"; exit 2; }
  fi
  if [ $peer = 1 ]; then
    hyperfine -N --style basic --runs "$peer_runs" --export-json "$results/$n-peer.json" \
      -n peer "$build/rusage_run $results/$n-peer.log python3 $root/bench/peer_xml_to_oxl.py $xml $out/peer-$n.oxl" \
      >"$results/$n-peer.hyperfine.txt" || { cat "$results/$n-peer.hyperfine.txt"; exit 2; }
  fi
  report_sizes+=("$n")
done

{ echo "$built, $runs rounds"
  echo
  python3 "$root/bench/report.py" "$results" "${report_sizes[@]}"; } | tee "$results/table.md"
