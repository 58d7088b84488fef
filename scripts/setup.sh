#!/usr/bin/env bash
# Installs every Debian package the project needs (idempotent), then configures and builds.
#   scripts/setup.sh [--asan|--tsan] [--build-dir DIR] [--no-build] [--release] [--target T]...
# The default build directory is build/ (build-asan/ and build-tsan/ for the sanitizer builds).
set -euo pipefail

cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  libasound2-dev libsqlite3-dev libsodium-dev libsystemd-dev libturbojpeg0-dev
  qt6-base-dev qt6-tools-dev qt6-l10n-tools xvfb xauth fonts-noto-cjk libx11-dev libxtst-dev
  iproute2 procps
  python3-gi gir1.2-gst-rtsp-server-1.0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad
)

sanitizer=""
build_dir=""
do_build=1
build_type=RelWithDebInfo
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --asan) sanitizer=asan ;;
    --tsan) sanitizer=tsan ;;
    --build-dir) build_dir="$2"; shift ;;
    --no-build) do_build=0 ;;
    --release) build_type=Release ;;
    --target) targets+=("$2"); shift ;;
    -h|--help) sed -n '2,5p' "$0"; exit 0 ;;
    *) echo "setup.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup.sh: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

[ "$do_build" -eq 1 ] || exit 0

cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE="$build_type")
case "$sanitizer" in
  asan) cmake_args+=(-DASAN=ON -DQV_BUILD_BENCH=OFF); : "${build_dir:=build-asan}" ;;
  tsan) cmake_args+=(-DTSAN=ON -DQV_BUILD_BENCH=OFF); : "${build_dir:=build-tsan}" ;;
  *) : "${build_dir:=build}" ;;
esac

cmake -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" ${targets[@]:+--target "${targets[@]}"} -- -j"$(nproc)"
