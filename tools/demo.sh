#!/usr/bin/env bash
# `make demo`: makes a demo installation in a temporary folder and runs the structure updater
# on it, from the templates folder, as a user would; the log and the messages are printed.
set -euo pipefail
build=${1:-build}
demo=$(mktemp -d "${TMPDIR:-/tmp}/tulmevara-demo.XXXXXX")
"$build/tools/mkdemo" "$demo"
echo "Demo installation in $demo:"
echo "  templates (working directory): $demo/modelos"
echo "  data directory (tesqueln.ini, BD/PathLIS): $demo/dados"
echo
echo "Before the run:"
"$build/tools/mkdemo" --describe "$demo/dados/ML2"
"$build/tools/mkdemo" --describe "$demo/dados/ML6"
echo "Files in the data directory: $(cd "$demo/dados" && ls | tr '\n' ' ')"
echo
echo "TavroAtualiza:"
(cd "$demo/modelos" && env -u DISPLAY -u WAYLAND_DISPLAY WINDIR="$demo/windows" \
   "$(cd "$OLDPWD" && realpath "$build/updater/TavroAtualiza")")
echo
echo "After the run:"
"$build/tools/mkdemo" --describe "$demo/dados/ML2"
"$build/tools/mkdemo" --describe "$demo/dados/ML6"
echo "Files left in the data directory: $(cd "$demo/dados" && ls | tr '\n' ' ')"
