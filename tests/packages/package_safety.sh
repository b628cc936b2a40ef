#!/usr/bin/env bash
# tests/packages/package_safety.sh SOURCE_DIR MOBRIX [ROOTMOBRIX]
# The package commands, the lock and the start-up through the real binary on a
# temporary device root whose live tree nobody, the attacker, owns. Restarts are
# only recorded; the bundle's scripts only list under a root other than "/".
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
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

passed=0
failed=0
check() { # WHAT TEST...
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
run() { "$mobrix" --root "$dev" "$@" </dev/null; }
exits() { # STATUS ARGUMENTS...: mobrix exits with STATUS; its output is kept in $out
  out=$(run "${@:2}" 2>&1)
  [ $? -eq "$1" ]
}
shown() { # [-x] TEXT...: the last output holds each text (-x: as a whole line)
  local flags=-qF text
  [ "$1" = -x ] && flags=-qxF && shift
  for text; do grep $flags -- "$text" <<<"$out" || return 1; done
}
holds() { # FILE CONTENT...: the file holds one of the contents
  local now content
  now=$(cat "$1")
  for content in "${@:2}"; do [ "$now" = "$content" ] && return 0; done
  return 1
}

dev=$work/device
"$src/scripts/sample-device" "$dev" >/dev/null || { echo "sample device failed"; exit 1; }
chmod 755 "$dev"
chown -R nobody:nogroup "$dev/var/mobile"
export MOBRIX_RECORD_TOOLS=$work/restarts.log
run --yes create-folders >/dev/null 2>&1
key=$(printf %s "$(realpath "$dev")" | sha256sum | cut -c1-32)
store=$dev/var/mobile/Library/Preferences/Mobrix
sources=$store/CydiaSources/sources.list
packages=$store/CydiaPackages/installed-packages.txt
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
check "the sources record is root's alone" [ "$(stat -c %a "$sources")" = 600 ]

# --- Unsafe source lines are refused, named, and the rest kept --------------
set_cache "deb [trusted=yes] http://evil.example/ ./" "deb file:/var/mobile/repo ./" \
  "deb http://kept.example/ ./"
check "refused lines fail the safeguard" exits 1 save sources
check "the refused lines are named" shown 'refused "deb [trusted=yes] http://evil.example/ ./"' \
  'refused "deb file:/var/mobile/repo ./"'
check "the good line is kept" holds "$sources" "deb http://kept.example/ ./"

# --- A package record is shown, confirmed, and reaches the script checked ---
set_cache "$good"
run save packages >/dev/null 2>&1
seen=$work/seen-record # the re-install script as a witness of what it is handed
printf '#!/bin/sh\ncp "$MOBRIX_PACKAGE_RECORD" %s\nsleep 0.1\n' "$seen" \
  >"$dev/Applications/Mobrix.app/.RestoreCydiaApps.sh"
printf 'evil-tweak\tinstall\nbash\tpurge\n--force-all install\n' >"$packages"
check "an unconfirmed package record exits 3" exits 3 restore packages
check "what would be installed and removed is shown" shown -x "evil-tweak" "bash (purge)"
check "no respring without the restoration" [ ! -s "$work/restarts.log" ]
run --yes restore packages >/dev/null 2>&1
check "a confirmed record reaches the script checked" \
  holds "$seen" "$(printf 'evil-tweak\tinstall\nbash\tpurge')"

# --- The lock is root's: locks nobody holds do not block a command ----------
for folder in "$dev" "$store/.."; do
  as_nobody flock -n "$folder" sleep 3 &
  pids+=($!)
done
sleep 0.3
check "nobody's locks do not block a command" exits 0 save sources
check "the lock file is in root's 0700 folder" [ "$(stat -c %a:%u /run/mobrix)" = 700:0 ]

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
# A command killed six times at random moments (the main process, or its
# whole group) leaves its record old or new; the next run of it, no temporary.
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
  check "$* killed: ${record##*/} old or new" holds "$record" "$old" "$new"
  run --yes "$@" >/dev/null 2>&1
}
run save sources >/dev/null 2>&1
for new in "deb http://one.example/ ./" "deb http://two.example/ ./" "deb http://one.example/ ./"; do
  old=$(cat "$sources")
  set_cache "$new"
  kill_trial "$sources" "$old" "$new" save sources
done
run save packages >/dev/null 2>&1
saved_packages=$(cat "$packages")
kill_trial "$packages" "$saved_packages" "$saved_packages" save packages
set_cache "$good"
run save sources >/dev/null 2>&1
set_cache "$(head -1 <<<"$good")"
run restore sources >/dev/null 2>&1
added=$dev/etc/apt/sources.list.d/MOXSources.list
check "the added list holds what the cache list lacks" holds "$added" "$(sed -n 2,3p <<<"$good")"
kill_trial "$added" "$(cat "$added")" "$(cat "$added")" restore sources
kill_trial "$packages" "$saved_packages" "$saved_packages" restore packages
check "no leftovers after the next command of each kind" [ -z "$(find "$store" "$dev/etc/apt" \
  /run/mobrix -name "*.partial" -o -name ".installed-packages.txt.*" -o -name "$key.*")" ]
check "nobody's secret never reached the store" [ -z "$(grep -rl 'TOP SECRET' "$store" "$dev/etc")" ]

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
