#!/usr/bin/env bash
# Makes the README's picture of the running simulator, headless: SIM74_2 of a built tree runs
# the built-in demo under a virtual X server (Xvfb) with a settings folder of its own (so a
# new user's start: English, the demo project, its user page "Loop overview" opening by
# itself), saves the screen when the demo has run for a while, and the picture is cut to the
# windows.
#   tools/readme/screenshot.sh [BUILD_FOLDER [PICTURE.png]]
# Defaults: build, docs/simulator.png. SHOT_DELAY_MS sets the running time before the picture
# (default 20000). Needs xvfb-run (package xvfb) and convert (package imagemagick).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
out=${2:-$top/docs/simulator.png}
program=$build/shell/SIM74_2
if [ ! -x "$program" ]; then
  echo "no $program: build first (./dev start, or cmake --build build)" >&2
  exit 1
fi
for tool in xvfb-run convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb imagemagick)" >&2; exit 1; }
done

# A folder of its own for the settings and the program's names, so that a simulator running
# beside it (or an earlier run's settings) changes nothing.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/config" "$work/run"
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
  XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" SIM74_2_NAME_PREFIX="readme$$." \
  SIM74_2_SCREENSHOT="$work/screen.png" SIM74_2_SCREENSHOT_DELAY="${SHOT_DELAY_MS:-20000}" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$program" /english 2>"$work/stderr" || {
  cat "$work/stderr" >&2
  exit 1
}
[ -s "$work/screen.png" ] || { cat "$work/stderr" >&2; echo "no picture was taken" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
# The windows on the black screen of the virtual server: cut away the black around them.
convert "$work/screen.png" -bordercolor black -border 1 -trim +repage "$out"
echo "wrote $out"
