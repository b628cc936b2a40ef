#!/usr/bin/env bash
# tests/packaging/packaging_scripts.sh SOURCE_DIR
# Builds a sample device in a temporary folder and runs the bundle's scripts
# against it. dpkg and apt-get are shadowed by recording fakes wherever a
# script could reach the host's package database for writing.
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
expect() {
  local what=$1
  shift
  "$@" || fail "$what"
}

# Fakes that record every call; FAKE_DPKG_MODE=partial makes dpkg print one
# line and then fail, as a query cut short would.
fakes=$work/fakes
mkdir -p "$fakes"
cat >"$fakes/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$FAKE_LOG"
EOF
cat >"$fakes/dpkg" <<'EOF'
#!/bin/sh
echo "dpkg $*" >>"$FAKE_LOG"
if [ "${FAKE_DPKG_MODE:-}" = partial ]; then
  echo "half-written	install"
  exit 3
fi
for a in "$@"; do
  case $a in --admindir=*) exec /usr/bin/dpkg "$@" ;; esac
done
exit 0
EOF
chmod +x "$fakes/apt-get" "$fakes/dpkg"
export FAKE_LOG=$work/fake.log
with_fakes() { PATH=$fakes:$PATH "$@"; }

# --- Sample device layout -------------------------------------------------
dev=$work/device
expect "sample-device builds" "$sample" "$dev" >/dev/null
for s in DpkgGetSelections.sh RestoreCydiaApps.sh; do
  [ -x "$dev/Applications/Mobrix.app/$s" ] || fail "bundle script $s missing or not executable"
  cmp -s "$dev/Applications/Mobrix.app/$s" "$src/packaging/$s" || fail "bundle script $s differs from packaging/"
  [ ! -e "$dev/Applications/Mobrix.app/.$s" ] || fail "bundle script $s already under its hidden name"
done
if [ "$(id -u)" -eq 0 ]; then
  stray=$(find "$dev/var/mobile" "$dev/var/wireless" \( ! -uid 501 -o ! -gid 501 \) | head -3)
  [ -z "$stray" ] || fail "live paths not owned by 501:501: $stray"
  [ "$(stat -c %u "$dev/Applications/Mobrix.app")" -eq 0 ] || fail "the bundle should stay root's"
fi

# --- Sample device: what it refuses and rebuilds ----------------------------
expect "sample-device refuses /" bash -c '! "$0" / 2>/dev/null' "$sample"
mkdir -p "$work/foreign"
echo keep >"$work/foreign/data"
expect "sample-device refuses a foreign non-empty folder" bash -c '! "$0" "$1" 2>/dev/null' "$sample" "$work/foreign"
[ "$(cat "$work/foreign/data")" = keep ] || fail "a refused folder was changed"
ln -s "$dev" "$work/link"
expect "sample-device refuses a link" bash -c '! "$0" "$1" 2>/dev/null' "$sample" "$work/link"
[ -d "$dev/var/mobile" ] || fail "a refused link's target was changed"
big=$work/big
"$sample" "$big" >/dev/null || fail "first build of the large device"
touch "$big/stray-file"
expect "sample-device rebuilds its own folder" "$sample" --photos-mb 6 "$big" >/dev/null
[ ! -e "$big/stray-file" ] || fail "a rebuild kept an old file"
[ "$(du -sm "$big/var/mobile/Media/DCIM/101APPLE" | cut -f1)" -ge 6 ] || fail "--photos-mb added too little"

# --- DpkgGetSelections.sh ---------------------------------------------------
packages=$dev/var/mobile/Library/Preferences/Mobrix/CydiaPackages
record=$packages/installed-packages.txt
out=$(MOBRIX_ROOT=$dev sh "$get_selections" 2>&1) && fail "record written without a packages folder"
grep -q "packages folder missing" <<<"$out" || fail "no clear message for a missing packages folder: $out"
mkdir -p "$packages"
expect "selections recorded" env MOBRIX_ROOT="$dev/" sh "$get_selections" >/dev/null
/usr/bin/dpkg --admindir="$dev/var/lib/dpkg" --get-selections >"$work/expected"
cmp -s "$record" "$work/expected" || fail "the record is not the device's selection list"
grep -q '^com.example.oldtweak.*deinstall$' "$record" || fail "the deinstalled package is missing from the record"

: >"$FAKE_LOG"
cp "$record" "$work/good"
FAKE_DPKG_MODE=partial with_fakes env MOBRIX_ROOT="$dev" sh "$get_selections" 2>/dev/null &&
  fail "a failing query reported success"
cmp -s "$record" "$work/good" || fail "a failing query replaced the last good record"
[ -z "$(find "$packages" -name '.installed-packages*')" ] || fail "a temporary record was left behind"
grep -q -- "--admindir=$dev/var/lib/dpkg" "$FAKE_LOG" || fail "the query did not use the device's database"

# --- RestoreCydiaApps.sh ----------------------------------------------------
: >"$FAKE_LOG"
out=$(with_fakes env MOBRIX_ROOT="$dev" sh "$restore_apps" 2>/dev/null)
[ $? -eq 0 ] || fail "listing under a sample root failed"
expected=$(awk '$2 == "install" { print "would install " $1 }' "$work/expected")
[ "$out" = "$expected" ] || fail "listing differs: got [$out]"
[ "$(grep -c . <<<"$out")" -eq 5 ] || fail "expected five packages to install, got: $out"
[ ! -s "$FAKE_LOG" ] || fail "package tools ran under a sample root: $(cat "$FAKE_LOG")"

for bad in "" relative/root; do
  with_fakes env MOBRIX_ROOT="$bad" sh "$restore_apps" 2>/dev/null && fail "root '$bad' accepted"
  with_fakes env MOBRIX_ROOT="$bad" sh "$get_selections" 2>/dev/null && fail "root '$bad' accepted for recording"
done
[ ! -s "$FAKE_LOG" ] || fail "package tools ran for a bad root: $(cat "$FAKE_LOG")"

rm -f "$record"
out=$(with_fakes env MOBRIX_ROOT="$dev" sh "$restore_apps" 2>&1) && fail "restore without a record succeeded"
grep -q "no package record" <<<"$out" || fail "no clear message for a missing record: $out"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "packaging scripts: all checks passed"
