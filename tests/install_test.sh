#!/usr/bin/env bash
# Installs the build into a staging folder and checks what a reader and a publisher rely on.
set -euo pipefail
build="$1"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /opt/kolva > /dev/null
root="$stage/opt/kolva"
for f in kolva kolva-build kolva-search kolva-import help.html kolva.dir Index-idx.m yitizi.txt \
         bin/kolva share/applications/kolva.desktop share/icons/hicolor/48x48/apps/kolva.png \
         share/man/man1/kolva.1 share/man/man1/kolva-search.1 share/man/man1/kolva-build.1 \
         share/man/man1/kolva-import.1 \
         share/doc/kolva/collection-format.md; do
  [ -e "$root/$f" ] || { echo "missing: $f"; exit 1; }
done
grep -q '^Exec=/opt/kolva/bin/kolva %f$' "$root/share/applications/kolva.desktop"
# Desktops may skip an entry that does not validate (hints are printed but pass).
desktop-file-validate "$root/share/applications/kolva.desktop"
grep -q 'exec "/opt/kolva/kolva"' "$root/bin/kolva"
# The installed tools find the collection beside themselves.
"$root/kolva-search" 明月 | tail -n 1 | grep -q '^全部で [1-9]'
echo "install: ok"
