#!/usr/bin/env bash
# Makes Debian's source packages (apt-get source) available from the archive
# the machine already uses: every "Types: deb" stanza also gets deb-src, and a
# one-line sources.list gets its deb-src twin. Does nothing when the sources
# are already there. Used by the Windows and web dependency builds.
set -euo pipefail

have_sources() { apt-cache showsrc libsdl2 2>/dev/null | grep -q '^Package: libsdl2'; }
have_sources && exit 0

sudo=()
[[ $(id -u) == 0 ]] || sudo=(sudo)
for list in /etc/apt/sources.list.d/*.sources; do
  [[ -f $list ]] || continue
  grep -q '^Types: deb$' "$list" || continue
  "${sudo[@]}" sed -i 's/^Types: deb$/Types: deb deb-src/' "$list"
done
if [[ -f /etc/apt/sources.list ]] && ! grep -q '^deb-src ' /etc/apt/sources.list; then
  sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list |
    "${sudo[@]}" tee /etc/apt/sources.list.d/quarvelin-deb-src.list >/dev/null
fi
"${sudo[@]}" apt-get update -qq
