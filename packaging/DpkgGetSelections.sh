#!/bin/sh
# Records the package selection list (one package and its selection state per
# line) as installed-packages.txt in the store's packages folder, for
# RestoreCydiaApps.sh to feed back later. The program hands over a private
# file in MOBRIX_SELECTIONS_OUT for the list and writes the record itself.
#
# MOBRIX_ROOT is the device root (default "/"); every path is taken under it.
# Under any other root the package database of that root is read when it has
# one, and nothing outside the root is ever written.
set -u
# Nothing this script creates is for other users' eyes.
umask 077

me=DpkgGetSelections

fail() {
  echo "$me: $*" >&2
  exit 1
}

# An empty or relative root would silently mean the host or the working
# folder: refuse both rather than guess.
root=${MOBRIX_ROOT-/}
case $root in
  /*) ;;
  *) fail "MOBRIX_ROOT must be an absolute path (got '$root')" ;;
esac
while [ "$root" != / ] && [ "${root%/}" != "$root" ]; do root=${root%/}; done
[ -n "$root" ] || root=/

under_root() {
  if [ "$root" = / ]; then printf '%s' "$1"; else printf '%s%s' "$root" "$1"; fi
}

packages_dir=$(under_root /var/mobile/Library/Preferences/Mobrix/CydiaPackages)
record=$packages_dir/installed-packages.txt

if [ ! -d "$packages_dir" ] || [ -L "$packages_dir" ]; then
  fail "packages folder missing: $packages_dir (create the application folders first)"
fi
# The temporary record is made there: only in a folder of this user's own can
# no one else put anything in its way.
[ -O "$packages_dir" ] || fail "the packages folder $packages_dir is not owned by $(id -un)"

set -- --get-selections
admindir=$(under_root /var/lib/dpkg)
if [ "$root" != / ] && [ -d "$admindir" ]; then
  set -- "--admindir=$admindir" "$@"
fi

# Run by the program, the list goes into the private file it hands over (in a
# folder only root can enter); the program makes the record of it once this
# script has succeeded.
if [ -n "${MOBRIX_SELECTIONS_OUT:-}" ]; then
  dpkg "$@" >"$MOBRIX_SELECTIONS_OUT" || fail "dpkg $* failed (status $?)"
  echo "$me: listed $(wc -l <"$MOBRIX_SELECTIONS_OUT") package selections"
  exit 0
fi

# Run by hand: written beside the record and renamed over it only when
# complete, so a
# failing query never leaves a half record in place of the last good one. The
# name ".installed-packages.txt.XXXXXX" is the one the program's next package
# safeguard removes, should this script be killed before its trap runs.
tmp=
trap '[ -z "$tmp" ] || rm -f "$tmp"' EXIT
trap 'exit 1' HUP INT TERM
tmp=$(mktemp "$packages_dir/.installed-packages.txt.XXXXXX") ||
  fail "cannot create a temporary file in $packages_dir"

dpkg "$@" >"$tmp" || fail "dpkg $* failed (status $?)"
chmod 600 "$tmp" || fail "cannot set the mode of $tmp"
mv -f "$tmp" "$record" || fail "cannot write $record"
echo "$me: recorded $(wc -l <"$record") package selections in $record"
