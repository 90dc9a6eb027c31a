#!/usr/bin/env bash
# Runs one golden case against a built ostrel and checks everything it leaves.
#   run_case.sh CASE_DIR BINARY
# Environment: OSTREL_EXEC_PREFIX (e.g. "wine" for ostrel.exe), OSTREL_SYSTEM
# ("windows" picks expected.*.windows files where a case has them),
# OSTREL_SAMPLES (the folder of real LTFS indexes), OSTREL_SANITIZE (ON/1 in
# a sanitizer build).
#
# A case folder holds:
#   expected.stdout, expected.exit   required: the run's standard output and code
#   in.xml                           the input; it must be unchanged afterwards
#   cmd                              the command, a bash line run in a scratch
#                                    copy of the folder (default: $OSTREL in.xml out.oxl)
#   setup                            bash run before the command, in the scratch folder
#   before.oxl                       put at out.oxl before the run
#   expected.oxl                     out.oxl afterwards, byte for byte; without it
#                                    out.oxl must equal before.oxl, or not exist
#   requires                         paths (one a line) that the case needs; a missing
#                                    one skips it, and fails it when CI=true
#   native-only, no-sanitizer        skip the case under a prefix / in a sanitizer build
#   windows-only                     skip the case unless OSTREL_SYSTEM is windows
# Exit 0 passed, 1 failed, 77 skipped.
set -u
case_dir=$(cd "$1" 2>/dev/null && pwd) || { echo "FAIL $1: no such case folder"; exit 1; }
binary=$(realpath "$2")
name=$(basename "$case_dir")
system=${OSTREL_SYSTEM:-native}

fail() { echo "FAIL $name: $*"; exit 1; }
skip() { echo "SKIP $name: $*"; exit 77; }

[ -d "$case_dir" ] || fail "no such case folder"
if [ -n "${OSTREL_EXEC_PREFIX:-}" ] && [ -e "$case_dir/native-only" ]; then
  skip "needs a condition only the native system makes"
fi
if [ "$system" != windows ] && [ -e "$case_dir/windows-only" ]; then
  skip "needs a condition only Windows makes"
fi
if [ -e "$case_dir/requires" ]; then
  while IFS= read -r needed; do
    needed=${needed//\$SAMPLES/${OSTREL_SAMPLES:-}}
    if [ -n "$needed" ] && [ ! -e "$needed" ]; then
      [ "${CI:-}" = true ] && fail "needs $needed, which is missing"
      skip "needs $needed, which is missing"
    fi
  done < "$case_dir/requires"
fi
case "${OSTREL_SANITIZE:-}" in
  1|ON|on|true) [ -e "$case_dir/no-sanitizer" ] && skip "not meaningful under the sanitizers" ;;
esac

# Per-system expectation: expected.X.<system> when it exists, else expected.X.
expected() {
  if [ -e "$case_dir/expected.$1.$system" ]; then echo "$case_dir/expected.$1.$system"
  else echo "$case_dir/expected.$1"; fi
}
expected_stdout=$(expected stdout)
expected_exit=$(expected exit)
[ -f "$expected_stdout" ] || fail "missing expected.stdout"
[ -f "$expected_exit" ] || fail "missing expected.exit"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$case_dir/." "$work/"
cd "$work" || fail "cannot enter scratch folder"
[ -e before.oxl ] && cp before.oxl out.oxl

export OSTREL="${OSTREL_EXEC_PREFIX:+$OSTREL_EXEC_PREFIX }$binary"
export SAMPLES="${OSTREL_SAMPLES:-}"
if [ -e setup ]; then
  bash ./setup || fail "setup failed"
fi
cmd='$OSTREL in.xml out.oxl'
[ -e cmd ] && cmd=$(cat cmd)
bash -c "$cmd" >actual.stdout 2>actual.stderr </dev/null
code=$?

problems=0
report() { echo "FAIL $name: $*"; problems=1; }
want_code=$(tr -d ' \r\n' <"$expected_exit")
[ "$code" = "$want_code" ] || report "exit code $code, expected $want_code"
if ! cmp -s actual.stdout "$expected_stdout"; then
  report "standard output differs (expected, actual):"
  diff <(od -c "$expected_stdout") <(od -c actual.stdout) | head -40
fi
# Nothing may reach standard error but what a prefix (wine) prints of its own.
if [ -z "${OSTREL_EXEC_PREFIX:-}" ] && [ -s actual.stderr ]; then
  report "standard error is not empty:"; head -20 actual.stderr
fi
if [ -e "$case_dir/expected.oxl" ]; then
  if [ ! -e out.oxl ]; then report "no out.oxl"
  elif ! cmp -s out.oxl "$case_dir/expected.oxl"; then
    report "out.oxl differs (expected, actual):"
    diff <(od -c "$case_dir/expected.oxl") <(od -c out.oxl) | head -40
  fi
elif [ -e "$case_dir/before.oxl" ]; then
  cmp -s out.oxl "$case_dir/before.oxl" || report "the old out.oxl was not left untouched"
else
  [ -e out.oxl ] && report "out.oxl exists but the case expects none"
fi
if [ -e "$case_dir/in.xml" ] && ! cmp -s in.xml "$case_dir/in.xml"; then
  report "in.xml was changed"
fi
[ $problems = 0 ] || exit 1
echo "PASS $name"
