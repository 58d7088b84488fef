#!/usr/bin/env bash
# The main job, end to end on one machine: builds what is needed, starts a simulated camera on
# 127.0.0.1, records it with the recording library for a while and shows what happened.
#   scripts/demo.sh [SECONDS]      (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
bash scripts/setup.sh --target qv_camsim_bin --target qvrec
build=build

out="$(mktemp -d /tmp/qv-demo.XXXXXX)"
port=$(( 20000 + RANDOM % 20000 ))
echo "== camera simulator on 127.0.0.1:$port (H.264 704x576 25 fps, G.711 audio, Digest user admin)"
"$build/tools/camsim/qv_camsim" --port "$port" --user admin --password demo >"$out/camera.log" 2>&1 &
camera=$!
trap 'kill "$camera" 2>/dev/null || true; wait "$camera" 2>/dev/null || true' EXIT
sleep 1

echo "== recording for $seconds s into $out"
"$build/tools/qvrec/qvrec" "127.0.0.1:$port" --user admin --password demo --seconds "$seconds" \
  --out "$out/camera1.h264"
echo "== files"
ls -l "$out"
