#!/bin/sh
# Re-installs the packages named in the record that DpkgGetSelections.sh wrote
# (installed-packages.txt in the store's packages folder). The program hands
# over a checked copy of that record in MOBRIX_PACKAGE_RECORD; run by hand,
# the script reads the record itself. Either way only lines made of a Debian
# package name and a selection state reach the package tools.
#
# MOBRIX_ROOT is the device root (default "/"). Only under "/" are the
# selections fed to the package database and installed; under any other root
# the script prints one line per package it would install and changes nothing.
set -u
umask 077

me=RestoreCydiaApps

fail() {
  echo "$me: $*" >&2
  exit 1
}

# An empty or relative root must never fall through to installing on the host.
root=${MOBRIX_ROOT-/}
case $root in
  /*) ;;
  *) fail "MOBRIX_ROOT must be an absolute path (got '$root')" ;;
esac
while [ "$root" != / ] && [ "${root%/}" != "$root" ]; do root=${root%/}; done
[ -n "$root" ] || root=/

if [ "$root" = / ]; then
  record=/var/mobile/Library/Preferences/Mobrix/CydiaPackages/installed-packages.txt
else
  record=$root/var/mobile/Library/Preferences/Mobrix/CydiaPackages/installed-packages.txt
fi

if [ -n "${MOBRIX_PACKAGE_RECORD:-}" ]; then
  record=$MOBRIX_PACKAGE_RECORD
fi

[ -f "$record" ] || fail "no package record to restore: $record (safeguard the packages first)"
[ -r "$record" ] || fail "cannot read the package record $record"

# Package name (optionally with an architecture), blanks, selection state.
selection='^[a-z0-9][a-z0-9+.-]+(:[a-z0-9-]+)?[ \t]+(install|hold|deinstall|purge)[ \t]*$'
selections() {
  awk -v pattern="$selection" '$0 ~ pattern { print $1 "\t" $2 }' "$record"
}

if [ "$root" != / ]; then
  echo "$me: device root $root is not /: listing only, nothing is installed" >&2
  selections | awk '$2 == "install" { print "would install " $1 }' ||
    fail "cannot read the package record $record"
  exit 0
fi

selections | dpkg --set-selections || fail "dpkg --set-selections failed"
DEBIAN_FRONTEND=noninteractive apt-get -y -o Dpkg::Options::=--force-confold dselect-upgrade ||
  fail "apt-get dselect-upgrade failed (status $?)"
echo "$me: packages restored"
