#!/usr/bin/env bash
# Huge and hostile inputs, on real files: an index over 2 GiB, the input size
# limit, and inputs built to make a scanner slow or fail. Each check asserts
# the documented result; the times are printed as evidence that the cost
# grows linearly (each hostile input is run at two sizes, four times apart),
# never asserted.
#   run_huge.sh BINARY [SCRATCH_FOLDER]
set -u
ostrel=$(realpath "$1")
work=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/ostrel-huge.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passes=0
failures=0
declaration='<?xml version="1.0" encoding="UTF-8"?>'
header=$'Filename,Size,Date Modified,Date Created,Attributes\r'

check() { # description, condition...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; passes=$((passes + 1)); else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# Runs ostrel on in.xml; sets code and milliseconds, leaves out.oxl and console.
run() {
  local start end
  start=$(date +%s%N)
  "$ostrel" in.xml out.oxl > console
  code=$?
  end=$(date +%s%N)
  milliseconds=$(( (end - start) / 1000000 ))
}

last_line() { tail -n 1 console; }
timing() { printf '     %-64s %10s bytes %7s ms\n' "$1" "$(stat -c %s in.xml)" "$milliseconds"; }

# --- An index over 2 GiB: one read loop, the same list as its pieces -------
# 2100 files, each with a 1 MiB extended attribute that the walk skips.
head -c 1048576 /dev/zero | tr '\0' x > value
entry() { # file number
  printf '<file><name>file%04d.bin</name><length>%d</length>' "$1" "$1"
  printf '<extendedattributes><xattr><key>k</key><value>'
  cat value
  printf '</value></xattr></extendedattributes></file>\n'
}
index_of() { # first last
  printf '%s\n<ltfsindex><directory><name>BIG</name><contents>\n' "$declaration"
  for ((n = $1; n <= $2; n++)); do entry "$n"; done
  printf '</contents></directory></ltfsindex>\n'
}
index_of 1 2100 > in.xml
run
timing "index of 2100 files, 1 MiB each" 
check "over 2 GiB: $(stat -c %s in.xml) bytes" test "$(stat -c %s in.xml)" -gt 2147483648
check "over 2 GiB: exit 0" test "$code" = 0
mv out.oxl big.oxl
: > pieces.oxl
for range in "1 700" "701 1400" "1401 2100"; do
  index_of $range > in.xml
  run
  if [ ! -s pieces.oxl ]; then cat out.oxl > pieces.oxl; else tail -n +3 out.oxl >> pieces.oxl; fi
done
check "over 2 GiB: the list equals the lists of its three pieces" cmp -s big.oxl pieces.oxl
check "over 2 GiB: 2100 file rows" test "$(grep -c '^"BIG\\file' big.oxl)" = 2100
rm -f big.oxl pieces.oxl value

# --- The size limit: 0xFFFFFFFE bytes is taken, 0xFFFFFFFF is not ----------
printf '%s\n<ltfsindex><directory><name>SPARSE</name><contents/>' "$declaration" > in.xml
truncate -s 4294967294 in.xml
run
check "0xFFFFFFFE bytes: read in full and converted (exit 0)" test "$code" = 0
check "0xFFFFFFFE bytes: the row before the zero bytes" \
  test "$(tail -n 1 out.oxl)" = $'"SPARSE",,,,16\r'
rm -f out.oxl
truncate -s 4294967295 in.xml
run
check "0xFFFFFFFF bytes: exit 6" test "$code" = 6
check "0xFFFFFFFF bytes: message" test "$(last_line)" = "Error: in file too large"
check "0xFFFFFFFF bytes: no list" test ! -e out.oxl
rm -f in.xml

# --- Hostile inputs, each at two sizes ------------------------------------
# Builds each input at both sizes, runs it, prints the time and applies the
# check to the size; N in the description stands for the size.
hostile() { # description builder check size...
  local what=$1 build=$2 expect=$3 size
  shift 3
  for size in "$@"; do
    "$build" "$size" > in.xml
    run
    timing "${what//N/$size}"
    check "${what//N/$size}" "$expect" "$size"
    rm -f out.oxl
  done
}
long_text() { head -c "$1" /dev/zero | tr '\0' "$2"; }
in_a_file() { printf '%s\n<ltfsindex><directory><name>T</name><contents><file>' "$declaration"; }
end_of_index() { printf '</file></contents></directory></ltfsindex>\n'; }

long_name() { in_a_file; printf '<name>'; long_text "$1" n; printf '</name>'; end_of_index; }
whole_name_in_row() { test "$code" = 0 -a "$(tail -n 1 out.oxl | wc -c)" = $(($1 + 11)); }
hostile "name of N bytes: exit 0, the whole name in the row" long_name whole_name_in_row 26214400 104857600

siblings() {
  printf '%s\n<ltfsindex><directory><name>T</name><contents>\n' "$declaration"
  seq -f '<file><name>f%.0f</name><length>1</length></file>' "$1"
  printf '</contents></directory></ltfsindex>\n'
}
every_row() { test "$code" = 0 -a "$(wc -l < out.oxl)" = $(($1 + 2)); }
hostile "N sibling files: exit 0, every row" siblings every_row 250000 1000000

ampersands() { in_a_file; printf '<name>'; yes '&amp;' | head -n "$1" | tr -d '\n'; printf '</name>'; end_of_index; }
all_decoded() { test "$code" = 0 -a "$(tail -n 1 out.oxl | tr -cd '&' | wc -c)" = "$1"; }
hostile "N &amp; in one name: all decoded" ampersands all_decoded 250000 1000000

open_value() { in_a_file; printf '<name>'; long_text "$1" v; }
no_lt() { test "$code" = 9 -a "$(last_line)" = "Error: Unable to find <"; }
hostile "value of N bytes with no < after it: exit 9" open_value no_lt 26214400 104857600

open_tag() { in_a_file; printf '<name'; long_text "$1" t; }
no_gt() { test "$code" = 9 -a "$(last_line)" = "Error: Unable to find >"; }
hostile "tag of N bytes with no > after it: exit 9" open_tag no_gt 26214400 104857600

nested() {
  printf '%s\n<ltfsindex>' "$declaration"
  yes '<directory><name>d</name><contents>' | head -n "$1" | tr -d '\n'
}
at_the_limit() {
  test "$code" = 9 -a "$(last_line)" = "Error: Directories nested deeper than 1000 levels"
}
hostile "N nested directories: exit 9 at the nesting limit" nested at_the_limit 250000 1000000

echo "huge tier: $passes passed, $failures failed"
[ "$failures" = 0 ]
