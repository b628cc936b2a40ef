#!/usr/bin/env bash
# tests/packaging/run_sample.sh SOURCE_DIR MOBRIX_BINARY WORK_DIR
# The `make run` job end to end on a sample device in WORK_DIR: every step
# must succeed, and the store and the live folders must look as it promises.
set -uo pipefail

src=$(cd "$1" && pwd)
device=$3/sample-device
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

out=$("$src/scripts/run-sample" "$2" "$device" 2>&1)
status=$?
echo "$out"
[ $status -eq 0 ] || fail "run-sample exited with $status"
for c in "--yes create-folders" "save all" "save sources" "save packages" "--answer Close restore all"; do
  grep -qF -- "$c" <<<"$out" || fail "the job did not show the command '$c'"
done

store=$device/var/mobile/Library/Preferences/Mobrix
for a in Preferences Accounts AddressBook Calendar Notes Safari SMS Voicemail CallHistory SpringBoard DCIM PhotoData; do
  grep -q "MobrixLibrary/$a.zip" <<<"$out" || fail "the store listing does not show $a.zip"
done
library=$(find "$store/MobrixLibrary" -mindepth 1 -printf '%s %f\n')
[ "$(grep -c '^[1-9][0-9]* .*\.zip$' <<<"$library")" -eq 12 ] && [ "$(wc -l <<<"$library")" -eq 12 ] ||
  fail "the library does not hold just the twelve archives: $library"
[ ! -e "$store/tmp" ] && [ ! -e "$device/var/tmp/Preferences" ] || fail "a scratch folder was left behind"
grep -q '^com.example.tweak.*install$' "$store/CydiaPackages/installed-packages.txt" ||
  fail "the package record misses the sample tweak"
[ -s "$device/var/mobile/Library/Notes/Café notes.txt" ] || fail "a live file is missing after the round trip"
if [ "$(id -u)" -eq 0 ]; then
  stray=$(find "$device/var/mobile" "$device/var/wireless" -path "$store" -prune -o \( ! -uid 501 -print \) | head -3)
  [ -z "$stray" ] || fail "live paths lost their owner: $stray"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "run-sample: all checks passed"
