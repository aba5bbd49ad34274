#!/usr/bin/env bash
# Installs the Debian packages that bench/compare and profiling need (and the project's own);
# skips what is present. Safe to run again. The tests do not need any of these.
set -euo pipefail
exec "$(dirname "$0")/../scripts/install-deps.sh" \
  sqlite3 libsqlite3-dev ripgrep python3-matplotlib linux-perf valgrind time npm
