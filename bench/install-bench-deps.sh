#!/usr/bin/env bash
# Installs the Debian packages that bench/compare and profiling need (and the project's own);
# skips what is present. Safe to run again. The tests do not need any of these.
# npm (bench/real/make-real fetches its corpus with it) is asked for only when no npm is on the
# PATH: a nodejs package that carries its own npm conflicts with Debian's npm package.
set -euo pipefail
extra=()
command -v npm >/dev/null || extra+=(npm)
exec "$(dirname "$0")/../scripts/install-deps.sh" \
  sqlite3 libsqlite3-dev ripgrep python3-matplotlib linux-perf valgrind time "${extra[@]}"
