#!/usr/bin/env bash
# tests/packaging/packaging_scripts.sh SOURCE_DIR
# The bundle's scripts on a temporary sample device; dpkg and apt-get are
# recording fakes wherever a script could write the host's package database.
set -uo pipefail

src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sample=$src/scripts/sample-device
get_selections=$src/packaging/DpkgGetSelections.sh
restore_apps=$src/packaging/RestoreCydiaApps.sh

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
refused() { ! "$@" >/dev/null 2>&1; }

# Fakes that record every call; FAKE_DPKG_MODE=partial makes dpkg print one
# line and then fail, as a query cut short would.
fakes=$work/fakes
mkdir -p "$fakes"
printf '#!/bin/sh\necho "apt-get $*" >>"$FAKE_LOG"\n' >"$fakes/apt-get"
cat >"$fakes/dpkg" <<'FAKE'
#!/bin/sh
echo "dpkg $*" >>"$FAKE_LOG"
if [ "${FAKE_DPKG_MODE:-}" = partial ]; then
  echo "half-written	install"
  exit 3
fi
for a in "$@"; do
  case $a in --admindir=*) exec /usr/bin/dpkg "$@" ;; esac
done
FAKE
chmod +x "$fakes/apt-get" "$fakes/dpkg"
export FAKE_LOG=$work/fake.log
with_fakes() { PATH=$fakes:$PATH "$@"; }

# --- The sample device: what it refuses and rebuilds -----------------------
dev=$work/device
"$sample" "$dev" >/dev/null || fail "sample-device builds"
mkdir -p "$work/foreign"
echo keep >"$work/foreign/data"
ln -s "$dev" "$work/link"
for bad in / "$work/foreign" "$work/link"; do
  refused "$sample" "$bad" || fail "sample-device accepted $bad"
done
[ "$(cat "$work/foreign/data")" = keep ] && [ -d "$dev/var/mobile" ] || fail "a refused folder was changed"
touch "$dev/stray-file"
"$sample" "$dev" >/dev/null && [ ! -e "$dev/stray-file" ] || fail "sample-device does not rebuild its own folder"

# --- DpkgGetSelections.sh ---------------------------------------------------
packages=$dev/var/mobile/Library/Preferences/Mobrix/CydiaPackages
record=$packages/installed-packages.txt
out=$(MOBRIX_ROOT=$dev sh "$get_selections" 2>&1) && fail "record written without a packages folder"
grep -q "packages folder missing" <<<"$out" || fail "no clear message for a missing packages folder: $out"
mkdir -p "$packages"
MOBRIX_ROOT="$dev/" sh "$get_selections" >/dev/null || fail "selections not recorded"
/usr/bin/dpkg --admindir="$dev/var/lib/dpkg" --get-selections >"$work/expected"
cmp -s "$record" "$work/expected" || fail "the record is not the device's selection list"

: >"$FAKE_LOG"
cp "$record" "$work/good"
FAKE_DPKG_MODE=partial with_fakes refused env MOBRIX_ROOT="$dev" sh "$get_selections" ||
  fail "a failing query reported success"
cmp -s "$record" "$work/good" || fail "a failing query replaced the last good record"
[ -z "$(find "$packages" -name '.installed-packages*')" ] || fail "a temporary record was left behind"
grep -q -- "--admindir=$dev/var/lib/dpkg" "$FAKE_LOG" || fail "the query did not use the device's database"

# --- RestoreCydiaApps.sh ----------------------------------------------------
: >"$FAKE_LOG"
out=$(with_fakes env MOBRIX_ROOT="$dev" sh "$restore_apps" 2>/dev/null) || fail "listing under a sample root failed"
expected=$(awk '$2 == "install" { print "would install " $1 }' "$work/expected")
[ "$out" = "$expected" ] && [ "$(grep -c . <<<"$out")" -eq 5 ] || fail "listing differs: got [$out]"
for bad in "" relative/root; do
  with_fakes refused env MOBRIX_ROOT="$bad" sh "$restore_apps" || fail "root '$bad' accepted"
  with_fakes refused env MOBRIX_ROOT="$bad" sh "$get_selections" || fail "root '$bad' accepted for recording"
done
[ ! -s "$FAKE_LOG" ] || fail "package tools ran under a sample or bad root: $(cat "$FAKE_LOG")"
rm -f "$record"
out=$(with_fakes env MOBRIX_ROOT="$dev" sh "$restore_apps" 2>&1) && fail "restore without a record succeeded"
grep -q "no package record" <<<"$out" || fail "no clear message for a missing record: $out"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "packaging scripts: all checks passed"
