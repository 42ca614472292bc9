#!/usr/bin/env bash
# Installs a build into a throwaway staging folder and checks what lands there: the three
# programs run (--version), the desktop entries and the AppStream metainfo pass their
# validators, the icons and man pages are where desktops and man look. With --deb, also builds
# the .deb with CPack and checks that its dependencies name the libraries it needs.
# Usage: scripts/check-install.sh [BUILD_DIR] [--deb]
set -euo pipefail
build=$(realpath "${1:-build}")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --install "$build" --prefix "$stage/usr" >/dev/null
cd "$stage/usr"
faults=0
fault() { echo "check-install: $*" >&2; faults=$((faults + 1)); }

for program in pressling pressling-cli feedgrab; do
  [ -x "bin/$program" ] || fault "bin/$program is missing"
  [ -f "share/man/man1/$program.1" ] || fault "the man page of $program is missing"
  # groff's warnings for a page that does not format cleanly.
  [ -z "$(groff -man -ww -z "share/man/man1/$program.1" 2>&1)" ] ||
    fault "the man page of $program does not format cleanly"
done
for program in pressling pressling-cli feedgrab; do
  [[ $(bin/$program --version) == "$program "[0-9]* ]] || fault "$program --version"
done
for size in 16x16 32x32 48x48 64x64 128x128 256x256 scalable; do
  ls share/icons/hicolor/$size/apps/pressling.* >/dev/null 2>&1 || fault "no $size icon"
done
for entry in pressling feedgrab; do
  # Hints too: an entry the menus would file under "Other" is a fault here.
  problems=$(desktop-file-validate "share/applications/$entry.desktop" 2>&1) || true
  [ -z "$problems" ] || fault "$entry.desktop: $problems"
done
grep -q '^Exec=feedgrab %u$' share/applications/feedgrab.desktop ||
  fault "feedgrab.desktop does not hand it a URL"
metainfo=(share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net --explain "${metainfo[@]}" || fault "the AppStream metainfo"

if [ "${2:-}" = "--deb" ]; then
  (cd "$build" && cpack -G DEB >/dev/null)
  deb=$(ls -t "$build"/pressling_*.deb | head -1)
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "$(basename "$deb"): Depends: $depends"
  for package in libqt6webenginewidgets6 libqt6widgets6 libcurl4 libxml2 libsqlite3-0 libpq5 \
    qt6-qpa-plugins; do
    [[ $depends == *"$package"* ]] || fault "the .deb does not depend on $package"
  done
  contents=$(dpkg-deb -c "$deb")
  for program in pressling pressling-cli feedgrab; do
    [[ $contents == *"./usr/bin/$program"* ]] || fault "the .deb lacks $program"
  done
fi

[ "$faults" -eq 0 ] && echo "check-install: what lands in the staging folder is sound"
exit $((faults > 0))
