#!/usr/bin/env bash
# The real binaries end to end: mobrix links to a mobrix-cloud on the
# loopback through the sign-in page, uploads a store, downloads it into an
# emptied one and deletes it (scripts/cloud-round-trip), in a temporary
# device root and home.
set -euo pipefail
mobrix=$1
cloud=$2
script=$3
work=$(mktemp -d /tmp/mobrix-round-trip-XXXXXX)
trap 'rm -rf "$work"' EXIT

store=$work/device/var/mobile/Library/Preferences/Mobrix
mkdir -p "$store/MobrixLibrary" "$store/CydiaSources" "$store/CydiaPackages"
for name in Accounts AddressBook Calendar Notes; do
  head -c 70000 /dev/urandom >"$store/MobrixLibrary/$name.zip"
done
printf 'deb https://repo.example/ ./\n' >"$store/CydiaSources/cydia.list"
printf 'ii  example  1.0\n' >"$store/CydiaPackages/installed-packages.txt"

"$script" "$mobrix" "$cloud" "$work/device" "$work/cloud" >"$work/out.txt" 2>&1 || {
  cat "$work/out.txt"
  exit 1
}
grep -q 'Cloud account linked' "$work/out.txt"
grep -q 'Round trip: the 6 downloaded files equal the uploaded ones.' "$work/out.txt" || {
  cat "$work/out.txt"
  exit 1
}
# No warning of Qt's own on any command's standard error.
if grep -h '^qt\.' "$work/out.txt" "$work/cloud/link.err"; then
  exit 1
fi
# The link was kept in the private home.
[ -n "$(find "$work/cloud/home" -path '*Mobrix*' -type f | head -n 1)" ]
# Nothing secret reached the request log.
password=$(sed -n 's/^First password: //p' "$work/cloud/user.txt")
! grep -q -e "$password" -e 'oauth_' "$work/cloud/requests.log"
echo "round trip: 1 passed, 0 failed"
