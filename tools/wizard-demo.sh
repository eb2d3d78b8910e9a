#!/usr/bin/env bash
# `make wizard-demo`: makes a demo installation in a temporary folder, opens ZeqConfig on the
# display with its Windows directory, and shows what it stored in tesqueln.ini; then runs the
# structure updater from the templates folder, which reads that path.
set -euo pipefail
build=${1:-build}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "wizard-demo: ZeqConfig is a dialog and needs a display (DISPLAY or WAYLAND_DISPLAY)." >&2
  echo "  For example: Xvfb :99 & DISPLAY=:99 make wizard-demo   (and a VNC viewer, or x11vnc)" >&2
  exit 1
fi
demo=$(mktemp -d "${TMPDIR:-/tmp}/tulmevara-demo.XXXXXX")
"$build/tools/mkdemo" "$demo"
zeq=$(realpath "$build/wizard/ZeqConfig")
upd=$(realpath "$build/updater/TavroAtualiza")
ini="$demo/windows/tesqueln.ini"
echo "Demo installation in $demo:"
echo "  data directory: $demo/dados (as a Windows path in $ini)"
echo "  templates:      $demo/modelos"
echo
echo "tesqueln.ini before: $(grep -i '^PathLIS' "$ini" || echo '(none)')"
echo "ZeqConfig: type or pick the data directory and press OK (Cancelar stores nothing)."
(cd "$demo" && WINDIR="$demo/windows" "$zeq") || echo "ZeqConfig ended with status $?"
echo "tesqueln.ini after:  $(grep -i '^PathLIS' "$ini" || echo '(none)')"
echo
echo "TavroAtualiza, from the templates folder:"
(cd "$demo/modelos" && WINDIR="$demo/windows" "$upd")
