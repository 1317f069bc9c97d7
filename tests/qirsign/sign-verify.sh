#!/usr/bin/env bash
# End to end through the signer: sign, verify, sign anew, tamper, and the refusals
# (bad arguments, unreadable files, texts that cannot carry a tag).
# Usage: sign-verify.sh WINE_RUN QIRSign.exe WORK_FOLDER
set -uo pipefail
run=$1
tool=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
failures=0

sign() { "$run" "$tool" "$@" >"$work/out.txt" 2>"$work/err.txt"; }
win() { echo "Z:$1"; }
expect_exit() {
  local want=$1 what=$2
  shift 2
  sign "$@"
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL: $what: exit $got, expected $want"
    cat "$work/out.txt" "$work/err.txt"
    failures=$((failures + 1))
  fi
}
expect_output() {
  local pattern=$1 what=$2
  if ! grep -q -- "$pattern" "$work/out.txt" "$work/err.txt"; then
    echo "FAIL: $what: no line matching '$pattern'"
    cat "$work/out.txt" "$work/err.txt"
    failures=$((failures + 1))
  fi
}

script="$work/Test.qir"
printf '<ROOT>\n  <REGISTRY Run="HKEY_LOCAL_MACHINE\\Software"/>\n</ROOT>\n' >"$script"
unsigned_size=$(stat -c %s "$script")

expect_exit 1 "an unsigned script does not verify" /verify "$(win "$script")"
expect_output "invalid" "an unsigned script is reported invalid"

expect_exit 0 "signing a script" "$(win "$script")"
signed_size=$(stat -c %s "$script")
[ $((signed_size - unsigned_size)) -eq 18 ] || { echo "FAIL: signing should add 18 bytes"; failures=$((failures + 1)); }
grep -q '^<ROOT_[A-Z]\{8\}>' "$script" || { echo "FAIL: the tag is not in the root's start tag"; failures=$((failures + 1)); }
expect_exit 0 "a signed script verifies" /verify "$(win "$script")"
expect_output ": valid" "a signed script is reported valid"

cp "$script" "$work/first.qir"
expect_exit 0 "signing anew" "$(win "$script")"
cmp -s "$script" "$work/first.qir" || { echo "FAIL: signing anew changed the text"; failures=$((failures + 1)); }

sed -i 's/Software/Softwarf/' "$script"
expect_exit 1 "a tampered script does not verify" /verify "$(win "$script")"
expect_output "invalid" "a tampered script is reported invalid"
expect_exit 0 "a tampered script can be signed anew" "$(win "$script")"
expect_exit 0 "and then verifies" -VERIFY "$(win "$script")"

cp "$work/first.qir" "$work/good.qir"
expect_exit 1 "one missing file among good ones fails the run" /verify "$(win "$work/good.qir")" "$(win "$work/missing.qir")"
expect_output "missing.qir: invalid" "the missing file gets its line"
expect_output "good.qir: valid" "the good file still gets its line"

printf '<ROOT/>\n' >"$work/single.qir"
expect_exit 1 "a text with one '>' cannot be signed" "$(win "$work/single.qir")"
expect_output "cannot be signed" "the refusal is reported"
[ "$(cat "$work/single.qir")" = "<ROOT/>" ] || { echo "FAIL: an unsignable file was changed"; failures=$((failures + 1)); }

printf '<A>x\0y</A>\n' >"$work/embedded-zero.qir"
expect_exit 1 "a text with a NUL byte is not signed" "$(win "$work/embedded-zero.qir")"
expect_output "NUL" "the NUL byte is reported"

expect_exit 1 "signing a missing file" "$(win "$work/missing.qir")"
expect_output "cannot be read" "the missing file is reported"
expect_exit 2 "no arguments"
expect_exit 2 "/verify without files" /verify
expect_exit 2 "an unknown option" /sign "$(win "$script")"
expect_exit 0 "help" "/?"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
