#!/usr/bin/env bash
# The main job, end to end on one machine: builds what is needed, starts a simulated camera on
# 127.0.0.1 (Digest), sets up a recorder in a fresh program folder (database, an every-day
# schedule, the camera on it, one-minute files), runs `QV_NVR -service` and shows what it does
# until Ctrl-C or the time is up, stops it with SIGTERM and shows the recordings.
#   scripts/demo.sh [SECONDS]      (default 30; 90 or more shows a file being split)
# The build goes to build/ ($QV_BUILD_DIR to choose another folder).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
case "$seconds" in ''|*[!0-9]*) echo "usage: scripts/demo.sh [SECONDS]" >&2; exit 2 ;; esac

build="${QV_BUILD_DIR:-build}"
bash scripts/setup.sh --build-dir "$build" --target qv_camsim_bin --target QV_NVR --target QV_Watchdog
# The command-line player shows the result; the demo goes on without it.
cmake --build "$build" --target qvplay -- -j"$(nproc)" >/dev/null 2>&1 || true
qvplay="$build/tools/qvplay/qvplay"

out="$(mktemp -d /tmp/qv-demo.XXXXXX)"
home="$out/home"
export QV_NVR_HOME="$home"
# A runtime folder of its own: the demo's lock and endpoints never meet an installed recorder.
export XDG_RUNTIME_DIR="$out/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
nvr() { echo "\$ QV_NVR $*"; "$build/bin/QV_NVR" "$@"; }

camera=""
service=""
cleanup() {
  [ -n "$service" ] && kill -TERM "$service" 2>/dev/null && wait "$service" 2>/dev/null || true
  [ -n "$camera" ] && kill "$camera" 2>/dev/null && wait "$camera" 2>/dev/null || true
}
trap cleanup EXIT

port=$(( 20000 + RANDOM % 20000 ))
echo "== camera simulator on 127.0.0.1:$port (H.264 704x576 25 fps, G.711 audio, Digest user admin)"
setsid "$build/tools/camsim/qv_camsim" --no-stdin --port "$port" --user admin --password demo \
  >"$out/camera.log" 2>&1 &
camera=$!
sleep 1

echo "== recorder set up in $home"
nvr --init-db
echo "\$ QV_NVR --add-schedule \"Every day\" everyday 0000 2359"
schedule=$("$build/bin/QV_NVR" --add-schedule "Every day" everyday 0000 2359 | sed -n 1p)
echo "schedule id $schedule (day code 10, 00:00 to 23:59)"
nvr --add-device Camera1 127.0.0.1 "$port" 1 admin demo --schedule "$schedule"
nvr --set split-minutes 1 >/dev/null
nvr --drive C "$home/storage" 100
nvr --list-devices

echo "== QV_NVR -service for $seconds s (Ctrl-C stops earlier)"
setsid "$build/bin/QV_NVR" -service >"$out/service.log" 2>&1 &
service=$!
stop=0
trap 'stop=1' INT
record_root="$home/storage/QV_Record/Normal"
shown=0
last_bytes=0
for (( t = 1; t <= seconds && stop == 0; t++ )); do
  sleep 1 || true
  lines=$(wc -l <"$out/service.log")
  if [ "$lines" -gt "$shown" ]; then
    sed -n "$((shown + 1)),${lines}p" "$out/service.log" | sed 's/^/  service   | /'
    shown=$lines
  fi
  files=$(find "$record_root" -name '*.h264' 2>/dev/null | wc -l)
  bytes=$(find "$record_root" -name '*.h264' -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
  printf '  recording | %3d s: %d file(s), %d bytes, %d B/s\n' "$t" "$files" "$bytes" $(( bytes - last_bytes ))
  last_bytes=$bytes
  kill -0 "$service" 2>/dev/null || { echo "QV_NVR ended early:"; cat "$out/service.log"; exit 1; }
done
trap - INT

echo "== SIGTERM: the clean exit"
kill -TERM "$service"
wait "$service" && echo "QV_NVR ended with status 0"
service=""
sed -n "$((shown + 1)),\$p" "$out/service.log" | sed 's/^/  service   | /'
grep -A1 '^\[OTHER\]' "$home/config.ini" | sed 's/^/  config.ini: /'

echo "== recordings"
for day in "$record_root"/*/; do
  [ -d "$day" ] || continue
  echo "$day"
  ls -l "$day"
done
newest=$(find "$record_root" -name '*.h264' -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
if [ -z "$newest" ]; then
  echo "no recording was made"
  exit 1
fi
echo "== newest file: $newest"
if [ -x "$qvplay" ]; then
  "$qvplay" "$newest" --info
  # The player opens the sound device too; without a sound card ALSA complains on stderr.
  if "$qvplay" "$newest" --snapshot "$out/snapshot.jpg" >/dev/null 2>"$out/qvplay.err"; then
    ls -l "$out/snapshot.jpg"
  else
    grep -v '^ALSA lib' "$out/qvplay.err" >&2 || true
  fi
else
  ls -l "$newest"
  echo "(the command-line player qvplay is not built yet: no file details or snapshot)"
fi
echo "== everything is kept in $out (the camera log, the service log, the program folder)"
