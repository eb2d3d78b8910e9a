#!/usr/bin/env bash
# Runs the structure updater on a demo installation made from scratch.
set -euo pipefail
build=${1:-build}
if [ ! -x "$build/updater/TavroAtualiza" ]; then
  echo "Build finished. The demo run arrives with the structure updater (TavroAtualiza)."
  exit 0
fi
