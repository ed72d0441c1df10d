#!/usr/bin/env bash
# Soak test of --watch: saves files into a running engine COUNT times (default
# 1000) and reports the engine's resident memory along the way.
#
#   bench/watch_soak.sh [COUNT] [same|distinct]
#
# Every save is fx/tint.fx (in place and by rename, in turn); every 10th save
# is also the stripes texture, every 50th the level file (a full scene
# rebuild). Each save is waited for: the next one starts once the engine has
# reported the reload. "same" (the default) alternates two versions of the
# effect, so every reload makes and releases effect instances while the
# compiled programs come from the effect cache; "distinct" gives every save
# its own colour and its own shader code, so every reload parses and compiles
# anew and the process-wide caches of compiled effects fill up and let go of
# their least recently used entries.
#
# VmRSS (/proc/PID/status) is printed every 100 saves. Memory is flat when it
# grows less than QM_SOAK_FLAT_KIB (default 4096) over the second half of the
# saves, once the caches are full; the script fails when it is not.
#
# QM_BIN names the binary (default build/src/quillmoor); with an ASan build,
# set ASAN_OPTIONS/LSAN_OPTIONS as scripts/test.sh does and the run ends with
# LeakSanitizer's check at exit.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
mode=${2:-same}
bin=$(realpath "${QM_BIN:-build/src/quillmoor}")
work=$(mktemp -d)
trap 'kill -TERM "${engine:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r data "$work/game"
game="$work/game"
name=watch_soak wait_seconds=120 poll=0.01
. bench/watched_engine.sh
start_watched_engine "$game"
save() {  # save FILE CONTENT_FILE ROUND: in place on even rounds, by rename on odd
  if [ $(($3 % 2)) -eq 0 ]; then cat "$2" > "$1"; else cp "$2" "$1.tmp~" && mv "$1.tmp~" "$1"; fi
}

wait_for "quillmoor: watching" 1
cp "$game/fx/tint.fx" "$work/tint_a.fx"
sed 's/= {1.0, 0.85, 0.7, 1}/= {1.0, 0.2, 0.1, 1}/' "$work/tint_a.fx" > "$work/tint_b.fx"
cp "$game/textures/stripes.tga" "$work/stripes.tga"
cp "$game/levels/map_new.txt" "$work/level.txt"

start=$SECONDS
first_rss=""
half_rss=""
flat_kib=${QM_SOAK_FLAT_KIB:-4096}
scenes=0
textures=0
for i in $(seq 1 "$count"); do
  if [ "$mode" = distinct ]; then
    awk -v r="$i" '{ sub(/= \{1.0, 0.85, 0.7, 1\}/, "= {1.0, 0." r % 1000 ", 0.7, 1}");
                     sub(/IN.Height \/ Band_Height/, "IN.Height / (Band_Height + 0.000001 * " r ")") } 1' \
      "$work/tint_a.fx" > "$work/tint_n.fx"
    save "$game/fx/tint.fx" "$work/tint_n.fx" "$i"
  elif [ $((i % 2)) -eq 0 ]; then
    save "$game/fx/tint.fx" "$work/tint_a.fx" "$i"
  else
    save "$game/fx/tint.fx" "$work/tint_b.fx" "$i"
  fi
  wait_for "reloaded fx\\tint.fx" "$i"
  if [ $((i % 10)) -eq 0 ]; then
    textures=$((textures + 1))
    save "$game/textures/stripes.tga" "$work/stripes.tga" "$i"
    wait_for "reloaded textures\\stripes.tga" "$textures"
  fi
  if [ $((i % 50)) -eq 0 ]; then
    scenes=$((scenes + 1))
    save "$game/levels/map_new.txt" "$work/level.txt" "$i"
    wait_for "reloaded the scene" "$scenes"
  fi
  [ "$i" -eq 100 ] && first_rss=$(field_kib VmRSS)
  [ "$i" -eq $((count / 2)) ] && half_rss=$(field_kib VmRSS)
  if [ $((i % 100)) -eq 0 ]; then echo "watch_soak: $i saves, VmRSS $(field_kib VmRSS) KiB"; fi
done
last_rss=$(field_kib VmRSS)
seconds=$((SECONDS - start))
failed=$(lines "reload failed")
kill -TERM "$engine"
status=0
wait "$engine" || status=$?
engine=""
echo "watch_soak: $count effect saves ($mode), $textures texture saves, $scenes scene rebuilds in ${seconds} s;" \
     "VmRSS ${first_rss:-?} KiB after 100 saves, ${last_rss} KiB after $count; $failed failed; exit status $status"
growth=$((last_rss - ${half_rss:-$last_rss}))
if [ "$growth" -lt "$flat_kib" ]; then flat=yes; else flat=no; fi
echo "watch_soak: VmRSS grew ${growth} KiB over saves $((count / 2))..$count: flat: $flat" \
     "(under ${flat_kib} KiB)"
if grep -q "ERROR: \(Address\|Leak\)Sanitizer\|runtime error" "$err"; then
  echo "watch_soak: sanitizer findings:" >&2
  grep -A20 "ERROR: \(Address\|Leak\)Sanitizer\|runtime error" "$err" | head -60 >&2
  exit 1
fi
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ] && [ "$flat" = yes ]
