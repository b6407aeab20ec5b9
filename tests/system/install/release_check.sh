#!/usr/bin/env bash
# The release in dist/ as its users and their tools see it:
#   release_check.sh SOURCE_DIR VERSION files    lintian, the desktop entry and
#       metainfo validators, the Windows zip's texts, the web page's version, SHA256SUMS
#   release_check.sh SOURCE_DIR VERSION again    packing the same build outputs
#       again (scripts/release.sh --repack) gives the same bytes
# Exit 77 (skipped) when the release is not made.
set -uo pipefail
source "$(dirname "$0")/../../support/xvfb.sh" # fail()
source_dir=$1 version=$2 what=$3
dist=$source_dir/dist
deb=quarvelin_${version}-1_$(dpkg --print-architecture).deb
zip=quarvelin-$version-windows-x64.zip
web=quarvelin-$version-web.tar.gz
[[ -f $dist/SHA256SUMS ]] || { echo "no release in $dist (scripts/release.sh); skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ $what == again ]]; then
  "$source_dir/scripts/release.sh" --repack --out "$work/again" >"$work/log" 2>&1 ||
    fail "packing again failed: $(tail -20 "$work/log")"
  for file in "$deb" "$zip" "$web" "quarvelin-$version.tar.gz" SHA256SUMS; do
    cmp "$dist/$file" "$work/again/$file" || fail "$file differs when packed again"
  done
  exit 0
fi

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

# lintian: no error and no warning (overrides in debian/ are honoured).
lintian --fail-on error,warning "$dist/$deb" >"$work/lintian" 2>&1 || fail "lintian: $(cat "$work/lintian")"
dpkg-deb -x "$dist/$deb" "$work/deb"
desktop-file-validate "$work/deb/usr/share/applications/quarvelin.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$work/deb/usr/share/metainfo/"*.metainfo.xml >"$work/appstream" 2>&1 ||
  fail "metainfo: $(cat "$work/appstream")"
zcat "$work/deb/usr/share/man/man6/quarvelin.6.gz" | grep -q "^\.TH .*quarvelin $version" ||
  fail "the man page does not carry version $version"

# The Windows zip, as demo releases have it.
mkdir "$work/zip"
(cd "$work/zip" && python3 -m zipfile -e "$dist/$zip" .) || fail "$zip does not unpack"
[[ -f $work/zip/quarvelin/quarvelin.exe ]] || fail "$zip holds no quarvelin/quarvelin.exe"
for text in README.txt FILE_ID.DIZ quarvelin.nfo; do
  [[ -s $work/zip/$text ]] || fail "$zip holds no $text"
  grep -vq $'\r$' "$work/zip/$text" && fail "$text has a line without CRLF"
  grep -qF "$version" "$work/zip/$text" || fail "$text does not name version $version"
done
grep -qi "photosensitivity" "$work/zip/README.txt" || fail "README.txt lacks the photosensitivity warning"
awk '{ sub(/\r$/, "") } length > 40 { print "FILE_ID.DIZ line " NR " is wider than 40 columns"; bad = 1 }
     END { if (NR > 10) { print "FILE_ID.DIZ has " NR " lines, at most 10 allowed"; bad = 1 }; exit bad }' \
  "$work/zip/FILE_ID.DIZ" || fail "FILE_ID.DIZ"

# The site: the page's credits line carries the version.
tar -xzf "$dist/$web" -C "$work" || fail "$web does not unpack"
grep -q "class=\"credits\">quarvelin $version\." "$work/quarvelin-$version-web/index.html" ||
  fail "the web page's credits line does not carry version $version"
exit 0
