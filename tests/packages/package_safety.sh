#!/usr/bin/env bash
# tests/packages/package_safety.sh SOURCE_DIR MOBRIX [ROOTMOBRIX]
# Runs the package commands, the lock and the start-up through the real
# binary on a temporary device root, with nobody as the local attacker who
# owns the live tree. Restarts go to the recording runner; the bundle's
# scripts only list under a device root other than "/".
set -uo pipefail

if [ "$(id -u)" -ne 0 ]; then
  echo "package safety: skipped (needs root to act as nobody and to own the store)"
  exit 77
fi

src=$(cd "$1" && pwd)
mobrix=$2
window=${3:-}
work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}
shown() { grep -q"${2:-F}" -- "$1" <<<"$out"; } # the last output holds a text (or pattern)
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }

dev=$work/device
"$src/scripts/sample-device" "$dev" >/dev/null || { echo "sample device failed"; exit 1; }
chmod 755 "$dev"
chown -R nobody:nogroup "$dev/var/mobile"
export MOBRIX_RECORD_TOOLS=$work/restarts.log
run() { "$mobrix" --root "$dev" "$@" </dev/null; }
run --yes create-folders >/dev/null 2>&1
store=$dev/var/mobile/Library/Preferences/Mobrix
cache_dir=$dev/var/mobile/Library/Caches/com.saurik.Cydia
cache=$cache_dir/sources.list
good=$(cat "$cache")
set_cache() { printf '%s\n' "$@" >"$cache" && chown nobody:nogroup "$cache"; }
secret=$work/root-only
echo "TOP SECRET deb http://secret.example/ ./" >"$secret"
chmod 600 "$secret"

# --- The cache list swapped for a link while sources are saved --------------
as_nobody bash -c '
  end=$((SECONDS + 4))
  while [ $SECONDS -lt $end ]; do
    ln -sfn "$1" "$2/link" && mv -fT "$2/link" "$2/sources.list"
    printf "%s\n" "$3" >"$2/plain" && mv -fT "$2/plain" "$2/sources.list"
  done' _ "$secret" "$cache_dir" "$good" &
pids+=($!)
disclosed=0
met=0
for _ in $(seq 25); do
  run save sources >"$work/out" 2>&1
  grep -rqs "TOP SECRET" "$store" "$work/out" && disclosed=1
  grep -q "is a link" "$work/out" && met=$((met + 1))
done
wait "${pids[-1]}"
check "a linked cache list was never read" [ "$disclosed" -eq 0 ]
check "the race met the link (and refused it) at least once" [ "$met" -gt 0 ]
check "the sources record is root's alone" [ "$(stat -c %a "$store/CydiaSources/sources.list")" = 600 ]

# --- Unsafe source lines are refused, named, and the rest kept --------------
set_cache "deb [trusted=yes] http://evil.example/ ./" "deb file:/var/mobile/repo ./" \
  "deb http://kept.example/ ./"
out=$(run save sources 2>/dev/null)
check "refused lines fail the safeguard" [ $? -eq 1 ]
check "the options line is named" shown 'refused "deb [trusted=yes] http://evil.example/ ./"'
check "the file: line is named" shown 'refused "deb file:/var/mobile/repo ./"'
check "the good line is kept" [ "$(cat "$store/CydiaSources/sources.list")" = "deb http://kept.example/ ./" ]

# --- Records that did not come from a local save are shown and confirmed ----
set_cache "$good"
run save sources >/dev/null 2>&1
rm "$cache"
printf '%s\n' "deb http://cloud.example/ ./" "deb cdrom:[x]/ ./" >"$store/CydiaSources/cydia.list"
default=$dev/etc/apt/sources.list.d/cydia.list
default_before=$(cat "$default")
out=$(run restore sources 2>/dev/null)
check "an unconfirmed cloud list exits 3" [ $? -eq 3 ]
check "the list is shown" shown "deb http://cloud.example/ ./"
check "nothing reached the package manager" [ "$(cat "$default")" = "$default_before" ]
out=$(run --yes restore sources 2>/dev/null)
check "a confirmed list is restored, its bad line named" shown 'refused "deb cdrom:[x]/ ./"'
check "only its good line reached the package manager" [ "$(cat "$default")" = "deb http://cloud.example/ ./" ]
set_cache "$good"

run save packages >/dev/null 2>&1
# The re-install script as a witness of what it is handed.
seen=$work/seen-record
printf '#!/bin/sh\ncp "$MOBRIX_PACKAGE_RECORD" %s\nsleep 0.1\n' "$seen" \
  >"$dev/Applications/Mobrix.app/.RestoreCydiaApps.sh"
printf 'evil-tweak\tinstall\nbash\tpurge\n--force-all install\n' \
  >"$store/CydiaPackages/installed-packages.txt"
out=$(run restore packages 2>/dev/null)
check "an unconfirmed package record exits 3" [ $? -eq 3 ]
check "what would be installed is shown" shown "^evil-tweak$" G
check "what would be removed is shown" shown "^bash (purge)$" G
check "no respring without the restoration" [ ! -s "$work/restarts.log" ]
run --yes restore packages >/dev/null 2>&1
check "a confirmed record reaches the script checked" \
  [ "$(cat "$seen")" = "$(printf 'evil-tweak\tinstall\nbash\tpurge')" ]

# --- The lock: nobody cannot hold it; another mobrix can ------------------
as_nobody flock -n "$dev" sleep 3 &
pids+=($!)
as_nobody flock -n "$store/.." sleep 3 &
pids+=($!)
sleep 0.3
run save sources >/dev/null 2>&1
check "nobody's locks do not block a command" [ $? -eq 0 ]
printf '#!/bin/sh\nsleep 2\n' >"$dev/Applications/Mobrix.app/.DpkgGetSelections.sh"
key=$(printf %s "$(realpath "$dev")" | sha256sum | cut -c1-32)
run save packages >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/run/mobrix/lock-$key" ] && break; sleep 0.05; done
out=$(run save sources 2>&1 >/dev/null)
check "another mobrix holding the lock gives exit 4" [ $? -eq 4 ]
check "the busy message is unchanged" shown "another command is running on"
wait
check "the lock file is root's 0700 folder's" [ "$(stat -c %a:%u /run/mobrix)" = 700:0 ]
cp "$src/packaging/DpkgGetSelections.sh" "$dev/Applications/Mobrix.app/.DpkgGetSelections.sh"

# --- A set-user-ID or set-group-ID copy refuses to start --------------------
bin=$work/bin
mkdir -m 755 "$bin"
cp "$mobrix" "$bin/mobrix"
[ -n "$window" ] && cp "$window" "$bin/RootMobrix"
for copy in "4755 mobrix save sources" "2755 mobrix save sources" "4755 RootMobrix"; do
  set -- $copy
  [ -e "$bin/$2" ] || continue
  chmod "$1" "$bin/$2"
  out=$(as_nobody env QT_QPA_PLATFORM=offscreen "$bin/$2" --root "$dev" "${@:3}" 2>&1 </dev/null)
  check "a $1 copy of $2 refuses to run" [ $? -ne 0 ]
  check "and says why" shown "refusing to run with a set-"
done

# --- Kill trials -----------------------------------------------------------
# Each command killed six times at random moments (the main process, or its
# whole group); its record must then hold one of the given contents, and the
# next run of the command leaves no temporary behind.
run save sources >/dev/null 2>&1
run save packages >/dev/null 2>&1
sources_record=$(cat "$store/CydiaSources/sources.list")
packages_record=$(cat "$store/CydiaPackages/installed-packages.txt")
other="deb http://other.example/ ./"
kill_trial() { # RECORD OLD NEW COMMAND...
  local record=$1 old=$2 new=$3 i
  shift 3
  for i in 1 2 3 4 5 6; do
    setsid "$mobrix" --root "$dev" --yes "$@" </dev/null >/dev/null 2>&1 &
    local pid=$!
    sleep "0.0$((RANDOM % 6))"
    if [ $((i % 2)) -eq 0 ]; then kill -9 -- "-$pid" 2>/dev/null; else kill -9 "$pid" 2>/dev/null; fi
    wait "$pid" 2>/dev/null
    sleep 0.05
  done
  check "$* killed: ${record##*/} old or new" [ "$(cat "$record")" = "$old" -o "$(cat "$record")" = "$new" ]
}
for i in 1 2 3; do
  set_cache "$other"
  kill_trial "$store/CydiaSources/sources.list" "$sources_record" "$other" save sources
  set_cache "$good"
  run save sources >/dev/null 2>&1
done
kill_trial "$store/CydiaPackages/installed-packages.txt" "$packages_record" "$packages_record" save packages
run save packages >/dev/null 2>&1
set_cache "$(head -1 <<<"$good")"
run restore sources >/dev/null 2>&1
added=$dev/etc/apt/sources.list.d/MOXSources.list
check "the added list holds what the cache list lacks" [ "$(cat "$added")" = "$(sed -n 2,3p <<<"$good")" ]
kill_trial "$added" "$(cat "$added")" "$(cat "$added")" restore sources
run restore sources >/dev/null 2>&1
kill_trial "$store/CydiaPackages/installed-packages.txt" "$packages_record" "$packages_record" restore packages
run --yes restore packages >/dev/null 2>&1
check "no leftovers after the next command of each kind" [ -z "$(find "$store" "$dev/etc/apt" \
  /run/mobrix -name "*.partial" -o -name ".installed-packages.txt.*" -o -name "$key.*")" ]
check "nobody's secret never reached the store" [ -z "$(grep -rl 'TOP SECRET' "$store" "$dev/etc")" ]

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
