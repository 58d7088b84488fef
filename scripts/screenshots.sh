#!/usr/bin/env bash
# Pictures of the windows for docs/screenshots/, under a virtual X display (Xvfb).
#   scripts/screenshots.sh [SHOT...]        (default: every shot; --list names them)
# Makes a demo archive first: the camera simulator on 127.0.0.1 recorded for a few seconds by
# qvrec into the recorder's folder layout. Each shot is one function shot_<name> below; add a
# window by adding a function and its name to SHOTS.
# The build goes to build/ ($QV_BUILD_DIR to choose another folder).
set -euo pipefail
cd "$(dirname "$0")/.."

SHOTS=(replay_search_en replay_playing_en replay_playing_zh replay_export_en recorder_main_en recorder_main_zh
  recorder_live_en recorder_fullscreen_en recorder_tip_en recorder_tip_zh)

if [ "${1:-}" = "--list" ]; then printf '%s\n' "${SHOTS[@]}"; exit 0; fi
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || chosen=("${SHOTS[@]}")

build="${QV_BUILD_DIR:-build}"
bash scripts/setup.sh --build-dir "$build" --target qv_camsim_bin --target qvrec --target qv_uishot --target QV_NVR
out_dir="docs/screenshots"
mkdir -p "$out_dir"

work="$(mktemp -d /tmp/qv-shots.XXXXXX)"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
camera=""
cleanup() {
  [ -n "$camera" ] && kill "$camera" 2>/dev/null && wait "$camera" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- the demo archive -------------------------------------------------------------------
# A program folder with drives C and D, today's recordings of two cameras on C (one of them
# also as an alarm recording) and one on D.
home="$work/home"
mkdir -p "$home/c" "$home/d"
printf '[DRIVES]\nC=%s\nD=%s\n' "$home/c" "$home/d" >"$home/config.ini"
port=$(( 20000 + RANDOM % 20000 ))
"$build/tools/camsim/qv_camsim" --no-stdin --port "$port" --user admin --password demo \
  >"$work/camera.log" 2>&1 &
camera=$!
for _ in $(seq 100); do  # until the camera answers, at most 10 s
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
record() {  # drive type name channel seconds
  local day stamp file
  day=$(date +%Y-%m-%d)
  stamp=$(date +%Y_%m_%d_%H_%M_%S)
  file="$home/$1/QV_Record/$2/$day/$3(127.0.0.1_$port)_$4_$stamp.h264"
  mkdir -p "$(dirname "$file")"
  "$build/tools/qvrec/qvrec" "127.0.0.1:$port" --user admin --password demo --seconds "$5" --out "$file" \
    >>"$work/qvrec.log" 2>&1 || { echo "screenshots.sh: recording failed:"; cat "$work/qvrec.log"; exit 1; }
}
record c Normal Gate 1 6
record c Normal Yard 2 3
record c Alarm Gate 1 2
record d Normal Garage 1 2

# --- the demo recorder ------------------------------------------------------------------
# A recorder folder of its own with three devices on the simulated camera: Gate on an
# every-day schedule (so it records), Yard and Hall operated by hand.
rhome="$work/recorder"
mkdir -p "$rhome"
nvr() { QV_NVR_HOME="$rhome" "$build/bin/QV_NVR" "$@" >>"$work/setup.log" 2>&1; }
nvr --init-db --password demo-Pw1
always=$(QV_NVR_HOME="$rhome" "$build/bin/QV_NVR" --add-schedule Always everyday 0000 2359 | sed -n 1p)
nvr --add-device Gate 127.0.0.1 "$port" 1 admin demo --schedule "$always"
nvr --add-device Yard 127.0.0.1 "$port" 2 admin demo
nvr --add-device Hall 127.0.0.1 "$port" 3 admin demo --stream 1

set_language() {  # en | zh [config.ini]
  local ini="${2:-$home/config.ini}"
  sed -i '/^\[LANG\]/,/^slang/d' "$ini"
  [ "$1" = zh ] && printf '[LANG]\nplang=4\nslang=2\n' >>"$ini"
  return 0
}

uishot() {  # OUT.png ARGS...: the window as qv_uishot draws it on the virtual display
  local out="$1"
  shift
  QV_NVR_HOME="${shot_home:-$home}" xvfb-run -a -s "-screen 0 1280x860x24" \
    "$build/tools/uishot/qv_uishot" "$@" 2>>"$work/uishot.log" | sed "s|^|  |"
  [ -s "$out" ] || { echo "screenshots.sh: no picture $out (see below)"; cat "$work/uishot.log"; exit 1; }
}

# --- the shots --------------------------------------------------------------------------
shot_replay_search_en() {
  set_language en
  uishot "$out_dir/replay_search_en.png" replay "$out_dir/replay_search_en.png" --search
}
shot_replay_playing_en() {
  set_language en
  uishot "$out_dir/replay_playing_en.png" replay "$out_dir/replay_playing_en.png" --search --play 1 --wait-ms 2500
}
shot_replay_playing_zh() {
  set_language zh
  uishot "$out_dir/replay_playing_zh.png" replay "$out_dir/replay_playing_zh.png" --search --play 1 --wait-ms 2500
}

recorder_shot() {  # en|zh NAME ARGS...: the recorder's windows over the demo recorder
  local language="$1" name="$2"
  shift 2
  set_language "$language" "$rhome/config.ini"
  shot_home="$rhome" uishot "$out_dir/$name.png" recorder "$out_dir/$name.png" "$@"
}
shot_recorder_main_en() { recorder_shot en recorder_main_en --live 1 --wait-ms 4000; }
shot_recorder_main_zh() { recorder_shot zh recorder_main_zh --live 1 --wait-ms 4000; }
shot_recorder_live_en() { recorder_shot en recorder_live_en --live 2 --wait-ms 2000; }
shot_recorder_fullscreen_en() { recorder_shot en recorder_fullscreen_en --live 1 --full-screen --wait-ms 1500; }
unclean() { sed -i 's/^exit=.*/exit=0/' "$rhome/config.ini"; }
shot_recorder_tip_en() { unclean; recorder_shot en recorder_tip_en --tip; }
shot_recorder_tip_zh() { unclean; recorder_shot zh recorder_tip_zh --tip; }
shot_replay_export_en() {
  set_language en
  mkdir -p "$work/exports"
  uishot "$out_dir/replay_export_en.png" replay "$out_dir/replay_export_en.png" --search --play 1 --wait-ms 800 \
    --export "$work/exports"
}

for shot in "${chosen[@]}"; do
  declare -F "shot_$shot" >/dev/null || { echo "screenshots.sh: no shot $shot (--list)"; exit 2; }
  echo "== $shot"
  "shot_$shot"
done
