#!/usr/bin/env bash
# The Debian packages made from a build folder: their names, control data, file lists, lintian,
# the desktop entry and software-centre data, and a search with the unpacked programs on the
# unpacked sample.
#
#   tests/package_test.sh BUILD
#
# With KOLVA_PACKAGE_FULL=1 (as root, with debootstrap and Debian's archive reachable through the
# mirror apt is configured with) it then installs both packages into a fresh Debian 12 root with
# apt-get, starts the reader from its desktop entry under Xvfb and waits for its window, searches
# the sample, builds a collection of one's own into /opt/kolva and reinstalls the reader over it,
# removes everything and checks that the root is as it was before. The root is made under
# KOLVA_PACKAGE_ROOT_BASE (default /var/tmp) and removed afterwards unless KOLVA_PACKAGE_KEEP=1;
# downloaded packages are kept in KOLVA_PACKAGE_CACHE (default /var/cache/kolva-package-test).
set -euo pipefail

build=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt"; exit 1; }
work=$(mktemp -d)
cleanups=()
cleanup() {
  local i
  for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do eval "${cleanups[i]}" || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package: $*" >&2; exit 1; }
step_start=$SECONDS
step() { echo "package: $* ($((SECONDS - step_start)) s so far)"; }

data_files=(Index-fl.h Index-fl.cnt Index-idx.h Index-idx.m Index_desc-idx.h Index_desc-idx.m
            Index_content-idx.h Index_content-idx.m yitizi.txt kolva.dir)

# --- Build the packages as `cmake --build BUILD --target package` does, into a folder of our own.
cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
reader_deb="$work/out/kolva_${version}_amd64.deb"
sample_deb="$work/out/kolva-sample_${version}_all.deb"
[ -f "$reader_deb" ] && [ -f "$sample_deb" ] ||
  fail "expected kolva_${version}_amd64.deb and kolva-sample_${version}_all.deb, made: $(ls "$work/out")"
step "built $(basename "$reader_deb") and $(basename "$sample_deb")"

# --- Control data.
field() { dpkg-deb -f "$1" "$2"; }
expect_field() {  # DEB FIELD VALUE
  [ "$(field "$1" "$2")" = "$3" ] || fail "$(basename "$1"): $2 is '$(field "$1" "$2")', not '$3'"
}
expect_field "$reader_deb" Package kolva
expect_field "$reader_deb" Version "$version"
expect_field "$reader_deb" Architecture amd64
expect_field "$sample_deb" Package kolva-sample
expect_field "$sample_deb" Version "$version"
expect_field "$sample_deb" Architecture all
names() { tr ',|' '\n\n' <<< "$1" | sed 's/([^)]*)//; s/^ *//; s/ *$//'; }  # FIELD -> package names
depends=$(names "$(field "$reader_deb" Depends)")
# From dpkg-shlibdeps: the libraries of the programs (the browser engine's package brings its
# helper process); declared: the platform plugin and the fonts.
for dep in libc6 libstdc++6 libqt6widgets6 libqt6webenginewidgets6 libqt6webenginecore6-bin \
           libqt6printsupport6 libxml2 libzip4 libuchardet0 qt6-qpa-plugins fonts-noto-cjk \
           fonts-hanazono; do
  grep -qxF "$dep" <<< "$depends" || fail "kolva does not depend on $dep: $(field "$reader_deb" Depends)"
done
names "$(field "$reader_deb" Recommends)" | grep -qxF kolva-sample ||
  fail "kolva does not recommend kolva-sample"
[ -z "$(field "$sample_deb" Depends)" ] || fail "kolva-sample has dependencies"
for deb in "$reader_deb" "$sample_deb"; do
  for f in Maintainer Description Section Priority; do
    [ -n "$(field "$deb" $f)" ] || fail "$(basename "$deb"): no $f"
  done
done

# --- File lists: exactly these files and links, and none of the collection in the reader's.
listing() {  # DEB -> "path" or "path -> target" per line, files and links only
  dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +\./, ""); print }' | sort
}
expected_reader=(
  /opt/kolva/help.html /opt/kolva/kolva /opt/kolva/kolva-build /opt/kolva/kolva-search
  /opt/kolva/kolva-import
  "/usr/bin/kolva -> /opt/kolva/kolva" "/usr/bin/kolva-build -> /opt/kolva/kolva-build"
  "/usr/bin/kolva-search -> /opt/kolva/kolva-search" "/usr/bin/kolva-import -> /opt/kolva/kolva-import"
  /usr/share/applications/kolva.desktop
  /usr/share/doc/kolva/changelog.gz /usr/share/doc/kolva/collection-format.md
  /usr/share/doc/kolva/copyright
  /usr/share/icons/hicolor/128x128/apps/kolva.png /usr/share/icons/hicolor/48x48/apps/kolva.png
  /usr/share/lintian/overrides/kolva
  /usr/share/man/man1/kolva-build.1.gz /usr/share/man/man1/kolva-search.1.gz
  /usr/share/man/man1/kolva-import.1.gz /usr/share/man/man1/kolva.1.gz)
expected_sample=(/usr/share/doc/kolva-sample/changelog.gz /usr/share/doc/kolva-sample/copyright
                 /usr/share/lintian/overrides/kolva-sample)
for f in "${data_files[@]}"; do expected_sample+=("/opt/kolva/$f"); done
listing "$reader_deb" | grep -v '^/usr/share/metainfo/' > "$work/reader.list"
listing "$sample_deb" > "$work/sample.list"
diff -u <(printf '%s\n' "${expected_reader[@]}" | sort) "$work/reader.list" ||
  fail "kolva's files differ from the list above (- expected, + packaged)"
diff -u <(printf '%s\n' "${expected_sample[@]}" | sort) "$work/sample.list" ||
  fail "kolva-sample's files differ from the list above (- expected, + packaged)"
metainfo=$(listing "$reader_deb" | grep '^/usr/share/metainfo/.*\.metainfo\.xml$') ||
  fail "kolva has no software-centre data in /usr/share/metainfo"
step "control data and file lists as expected"

# --- Unpacked: programs stripped and running, documents readable, entries valid.
dpkg-deb -x "$reader_deb" "$work/root"
dpkg-deb -x "$sample_deb" "$work/root"
root="$work/root"
for p in kolva kolva-build kolva-search kolva-import; do
  if readelf -S "$root/opt/kolva/$p" | grep -Eq '\.(symtab|debug_info)'; then
    fail "$p is not stripped"
  fi
done
"$root/opt/kolva/kolva-search" 明月 | tail -n 1 | grep -q '^全部で [1-9]' ||
  fail "the packaged kolva-search finds nothing in the packaged sample"
for f in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/*/changelog.gz; do
  gzip -t "$f"
done
zcat "$root/usr/share/doc/kolva/changelog.gz" | head -n 1 | grep -q "^kolva ($version) " ||
  fail "the changelog's top entry is not version $version"
grep -q '^Exec=kolva %f$' "$root/usr/share/applications/kolva.desktop" ||
  fail "the desktop entry does not start kolva from the PATH"
desktop-file-validate "$root/usr/share/applications/kolva.desktop"
appstreamcli validate --no-net "$root$metainfo" > "$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "the software-centre data does not validate"; }
grep -q '<screenshot type="default">' "$root$metainfo" || fail "no screenshot in $metainfo"
grep -q "<release version=\"$version\"" "$root$metainfo" || fail "no release $version in $metainfo"
step "unpacked: stripped, searches the sample, man pages, changelog, desktop entry, metainfo"

# Warnings count as failures too: every one has been dealt with, in the package or by an override
# that says why.
lintian --fail-on error,warning "$reader_deb" "$sample_deb" > "$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian reports errors or warnings"; }
step "lintian: no errors or warnings"

if [ "${KOLVA_PACKAGE_FULL:-0}" != 1 ]; then
  echo "package: ok (contents; KOLVA_PACKAGE_FULL=1 also installs into a fresh Debian 12 root)"
  exit 0
fi

# ================================ The full run in a fresh Debian 12 root ========================
[ "$(id -u)" -eq 0 ] || fail "the full run needs root (debootstrap, chroot)"
command -v debootstrap > /dev/null || fail "the full run needs debootstrap"

# The mirror apt is configured with, from one-line and deb822 source lists alike.
mirror=$(python3 - <<'EOF'
import glob, re
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        m = re.match(r"\s*deb\s+(\[[^]]*\]\s+)?(\S+)\s+bookworm\s", line)
        if m:
            print(m.group(2)); raise SystemExit
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields = {}
        for line in stanza.splitlines():
            if ":" in line and not line.startswith(("#", " ")):
                key, value = line.split(":", 1)
                fields[key.strip().lower()] = value.strip()
        if (fields.get("enabled", "yes") != "no" and "deb" in fields.get("types", "").split()
                and "bookworm" in fields.get("suites", "").split() and fields.get("uris")):
            print(fields["uris"].split()[0]); raise SystemExit
EOF
)
[ -n "$mirror" ] || fail "apt has no mirror for bookworm configured"

base=${KOLVA_PACKAGE_ROOT_BASE:-/var/tmp}
cache=${KOLVA_PACKAGE_CACHE:-/var/cache/kolva-package-test}
mkdir -p "$base" "$cache"
chroot_dir=$(mktemp -d "$base/kolva-package-root.XXXXXX")
chmod 755 "$chroot_dir"  # its / : users of the root, apt's own among them, must reach into it
case "$chroot_dir/" in "$(cd "$(dirname "$0")/.." && pwd)"/*) fail "the root must lie outside the repository";; esac
if [ "${KOLVA_PACKAGE_KEEP:-0}" = 1 ]; then
  echo "package: the root stays in $chroot_dir"
else
  cleanups+=("rm -rf --one-file-system '$chroot_dir'")
fi
in_root() { chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
              LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
as_user() { in_root su -s /bin/sh -l reader -c "$*"; }
# Every package dpkg knows in any state but not-installed (a purged one may stay listed as that).
installed_packages() {
  in_root dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | awk 'substr($1, 2, 1) != "n"' | sort
}

debootstrap --variant=minbase --cache-dir="$cache" bookworm "$chroot_dir" "$mirror" \
  > "$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log"; fail "debootstrap failed"; }
step "debootstrap: a fresh Debian 12 root from the configured mirror"

mount -t proc proc "$chroot_dir/proc"; cleanups+=("umount -l '$chroot_dir/proc'")
mount -t tmpfs -o mode=1777 shm "$chroot_dir/dev/shm"; cleanups+=("umount -l '$chroot_dir/dev/shm'")
mkdir -p "$cache/archives/partial"
mount --bind "$cache/archives" "$chroot_dir/var/cache/apt/archives"
cleanups+=("umount -l '$chroot_dir/var/cache/apt/archives'")
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf" 2> /dev/null || true
echo 'APT::Keep-Downloaded-Packages "true";' > "$chroot_dir/etc/apt/apt.conf.d/90keep"
in_root apt-get update -qq > /dev/null
in_root useradd -m -s /bin/sh reader
before=$(installed_packages)

mkdir -p "$chroot_dir/tmp/debs"
cp "$reader_deb" "$sample_deb" "$chroot_dir/tmp/debs/"
t=$SECONDS
in_root apt-get install -y -qq "/tmp/debs/$(basename "$reader_deb")" \
  "/tmp/debs/$(basename "$sample_deb")" > "$work/install.log" 2>&1 ||
  { tail -n 30 "$work/install.log"; fail "apt-get install of the packages failed"; }
added=$(comm -13 <(echo "$before") <(installed_packages) | wc -l)
step "apt-get install ./kolva…deb ./kolva-sample…deb: $added packages in $((SECONDS - t)) s"

for p in kolva kolva-build kolva-search; do
  in_root sh -c "ldd /opt/kolva/$p | grep 'not found'" && fail "$p misses a library"
  [ "$(in_root readlink -f /usr/bin/$p)" = "/opt/kolva/$p" ] || fail "/usr/bin/$p does not lead to /opt/kolva"
done
as_user "kolva-search 明月" > "$work/search.txt"
tail -n 1 "$work/search.txt" | grep -q '^全部で [1-9]' || { cat "$work/search.txt"; fail "kolva-search found nothing"; }
step "installed: libraries found; kolva-search 明月 on the sample: $(tail -n 1 "$work/search.txt")"

# The reader, started as its desktop entry says, under Xvfb as a desktop user.
in_root apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils > "$work/tools.log" 2>&1 ||
  { tail -n 30 "$work/tools.log"; fail "installing Xvfb in the root failed"; }
exec_line=$(sed -n 's/^Exec=//p' "$chroot_dir/usr/share/applications/kolva.desktop" | sed 's/ %[fFuU]//')
in_root sh -c 'Xvfb :77 -screen 0 1280x800x24 -nolisten tcp > /tmp/xvfb.log 2>&1 & echo $! > /tmp/xvfb.pid'
cleanups+=("kill \$(cat '$chroot_dir/tmp/xvfb.pid') 2> /dev/null")
as_user "cd ~ && DISPLAY=:77 setsid $exec_line > ~/reader.log 2>&1 < /dev/null & echo \$! > ~/reader.pid"
cleanups+=("kill \$(cat '$chroot_dir/home/reader/reader.pid') 2> /dev/null")
# The main window, by its caption (the splash card carries another).
window=
for _ in $(seq 1 90); do
  window=$(in_root env DISPLAY=:77 xwininfo -root -tree 2> /dev/null |
           grep -m 1 '"Veltra--現代全文検索(Kolva全集)"' | awk '{print $1}') || true
  if [ -n "$window" ] &&
     in_root env DISPLAY=:77 xwininfo -id "$window" | grep -q 'Map State: IsViewable'; then
    break
  fi
  window=
  sleep 1
done
if [ -z "$window" ]; then
  cat "$chroot_dir/home/reader/reader.log"
  in_root env DISPLAY=:77 xwininfo -root -tree | head -n 30
  fail "no window of the reader appeared"
fi
size=$(in_root env DISPLAY=:77 xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
title=$(in_root env DISPLAY=:77 xwininfo -id "$window" | sed -n 's/^xwininfo: Window id: [^ ]* //p')
kill "$(cat "$chroot_dir/home/reader/reader.pid")"
step "reader started by its desktop entry ('$exec_line'): window $title, $size, viewable"

# The reader without the sample: its files stay, the collection's go, a search says it found none.
in_root apt-get purge -y -qq kolva-sample > /dev/null 2>&1
for f in "${data_files[@]}"; do [ ! -e "$chroot_dir/opt/kolva/$f" ] || fail "$f outlived kolva-sample"; done
[ -x "$chroot_dir/opt/kolva/kolva" ] || fail "removing kolva-sample took the reader"
if as_user "kolva-search 明月" > "$work/nosample.txt" 2>&1; then
  fail "kolva-search succeeded without a collection"
fi
step "kolva-sample removed; the reader stays; kolva-search without a collection: $(head -n 1 "$work/nosample.txt")"

# A collection of one's own in /opt/kolva outlives a reinstall and the removal of the reader.
mkdir -p "$chroot_dir/tmp/own/v1"
printf '1\t自作\n2\t試し\n3\t第一巻\tv1\n' > "$chroot_dir/tmp/own/catalogue.txt"
printf '春眠不覺曉\n\n處處聞啼鳥{孟浩然}\n' > "$chroot_dir/tmp/own/v1/1.txt"
printf '夜來風雨聲\n' > "$chroot_dir/tmp/own/v1/2.txt"
in_root kolva-build /tmp/own /opt/kolva > /dev/null
collection_sums() { (cd "$chroot_dir/opt/kolva" && for f in "${data_files[@]}"; do [ ! -e "$f" ] || md5sum "$f"; done); }
own_sums=$(collection_sums)
[ -n "$own_sums" ] || fail "kolva-build wrote no collection into /opt/kolva"
in_root apt-get install -y -qq --reinstall "/tmp/debs/$(basename "$reader_deb")" > /dev/null 2>&1
[ "$(collection_sums)" = "$own_sums" ] ||
  fail "reinstalling the reader changed the collection built into /opt/kolva"
as_user "kolva-search 啼鳥" | tail -n 1 | grep -q '^全部で 1' || fail "kolva-search does not find 啼鳥 in one's own collection"
if in_root apt-get install -y -qq "/tmp/debs/$(basename "$sample_deb")" > "$work/over.log" 2>&1; then
  fail "kolva-sample installed over one's own collection"
fi
[ "$(collection_sums)" = "$own_sums" ] || fail "the refused kolva-sample changed one's own collection"
step "own collection built into /opt/kolva; reinstalling kolva left it as it was; kolva-sample refused to overwrite it: $(grep -m 1 'kolva-sample:' "$work/over.log")"

# Removal: nothing of either package is left, and with the helpers gone the root is as before.
in_root apt-get purge -y -qq kolva > /dev/null 2>&1
while read -r line; do
  path=${line%% -> *}
  # The sample's files were checked gone above; the same names now hold one's own collection.
  [ "$(dirname "$path")" = /opt/kolva ] && [[ " ${data_files[*]} " == *" $(basename "$path") "* ]] && continue
  [ ! -e "$chroot_dir$path" ] && [ ! -L "$chroot_dir$path" ] || fail "$path is left after removal"
done < <(cat "$work/reader.list" "$work/sample.list"; echo "$metainfo")
left=$(cd "$chroot_dir/opt/kolva" && ls | sort | tr '\n' ' ')
rm -rf "$chroot_dir/opt/kolva"
in_root apt-get purge -y -qq xvfb xauth x11-utils > /dev/null 2>&1
# Some of what the install brought is only recommended or suggested by packages of the base root
# (apt recommends ca-certificates, debconf suggests perl), which would keep it: those do not count.
in_root apt-get autoremove --purge -y -qq -o APT::AutoRemove::RecommendsImportant=false \
  -o APT::AutoRemove::SuggestsImportant=false > /dev/null 2>&1
after=$(installed_packages)
if [ "$after" != "$before" ]; then
  diff <(echo "$before") <(echo "$after") || true
  fail "the root's packages differ from before the install"
fi
step "purged kolva, kolva-sample, their dependencies: no file of theirs left, packages as before (/opt/kolva kept one's own collection: $left)"
echo "package: ok (full install in a fresh Debian 12 root)"
