#!/usr/bin/env bash
# Sets up everything, builds the reader and the sample collection, and starts the reader on it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only what running needs: the tests and benchmarks are left to scripts/test.sh.
cmake --build build -j "$(nproc)" --target kolva kolva-build kolva-search sample_collection

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the reader (build/bin/kolva) needs a desktop session; run this again in one."
  echo "Here is a search of the sample collection from the command line (build/bin/kolva-search 明月):"
  exec build/bin/kolva-search 明月
fi
# The browser engine's sandbox does not run as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec build/bin/kolva "$@"
