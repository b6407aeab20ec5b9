#!/usr/bin/env bash
# Makes the release from the checked-out commit into dist/:
#   quarvelin_VERSION-1_ARCH.deb        Debian's own tools (debian/, dh)
#   quarvelin-VERSION-windows-x64.zip   the Windows folder, README.txt, FILE_ID.DIZ, quarvelin.nfo
#   quarvelin-VERSION-web.tar.gz        the site, for any static web server
#   quarvelin-VERSION.tar.gz            the source (git archive)
#   SHA256SUMS
#     scripts/release.sh [--repack] [--out DIR]
# The Windows package (build-windows/package) and the site (build-web/site)
# are reused when built, else built. The Debian package is built from the
# source archive in build-deb/; --repack packs that build again instead
# (the check that packing the same build twice gives the same bytes).
# Reproducible: times come from the commit (SOURCE_DATE_EPOCH), archive
# entries are sorted and owned by 0, gzip stores no name or time, and the
# compiler maps the build's path away (debian/rules).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/dist
repack=
while (($#)); do
  case $1 in
    --repack) repack=1 ;;
    --out) out=$(realpath -m "$2"); shift ;;
    *) echo "usage: scripts/release.sh [--repack] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done
started=$SECONDS

version=$(sed -n 's/^project(quarvelin VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[[ -n $version ]] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export TZ=UTC LC_ALL=C.UTF-8
umask 022
stage=$root/build-release
rm -rf "$stage"
mkdir -p "$stage" "$out"
rm -f "$out"/quarvelin[-_]* "$out/SHA256SUMS"

# pack_tar FOLDER PARENT OUTPUT: PARENT/FOLDER as a .tar.gz, the same bytes every time.
pack_tar() {
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode=u+rw,go=rX --format=gnu -C "$2" -cf - "$1" | gzip -9 -n >"$3"
}
# with_version TEMPLATE OUTPUT: the template with the version filled in, CRLF line ends.
with_version() {
  sed -e "s/@QUARVELIN_VERSION@/$version/g" -e 's/$/\r/' "$1" >"$2"
}

# The source, from the repository's own files.
source_tar=$out/quarvelin-$version.tar.gz
git archive --format=tar --prefix="quarvelin-$version/" HEAD | gzip -9 -n >"$source_tar"

# The Debian package, built from that source without the compiler launcher
# (ccache would change the programs' build ids).
deb_tree=$root/build-deb/quarvelin-$version
if [[ -z $repack || ! -d $deb_tree ]]; then
  repack=
  rm -rf "$root/build-deb"
  mkdir -p "$root/build-deb"
  tar -xzf "$source_tar" -C "$root/build-deb"
fi
arch=$(dpkg --print-architecture)
deb=quarvelin_$version-1_$arch.deb
(cd "$deb_tree" &&
  env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER DEB_BUILD_OPTIONS="noddebs parallel=2" \
    dpkg-buildpackage -b -us -uc ${repack:+-nc}) >"$stage/deb.log" 2>&1 ||
  { tail -40 "$stage/deb.log" >&2; echo "the Debian package failed; log: $stage/deb.log" >&2; exit 1; }
cp "$root/build-deb/$deb" "$out/"

# The Windows release: the package's folder and the texts demo releases carry.
[[ -f build-windows/package/quarvelin/quarvelin.exe ]] || scripts/windows-build.sh
mkdir -p "$stage/windows"
cp -r build-windows/package/quarvelin "$stage/windows/"
with_version resources/release/README.txt "$stage/windows/README.txt"
with_version resources/release/FILE_ID.DIZ "$stage/windows/FILE_ID.DIZ"
with_version resources/release/quarvelin.nfo "$stage/windows/quarvelin.nfo"
python3 - "$stage/windows" "$out/quarvelin-$version-windows-x64.zip" <<'PYTHON'
# Entries sorted, all with the commit's time and the same permissions.
import os, sys, time, zipfile
top, output = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
names = sorted(os.path.relpath(os.path.join(folder, name), top)
               for folder, _, files in os.walk(top) for name in files)
with zipfile.ZipFile(output, "w") as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 0
        entry.external_attr = 0
        with open(os.path.join(top, name), "rb") as file:
            archive.writestr(entry, file.read(), compresslevel=9)
PYTHON

# The web site.
[[ -f build-web/site/quarvelin.wasm ]] || scripts/web.sh
mkdir -p "$stage/web"
cp -r build-web/site "$stage/web/quarvelin-$version-web"
pack_tar "quarvelin-$version-web" "$stage/web" "$out/quarvelin-$version-web.tar.gz"

(cd "$out" && sha256sum "$deb" "quarvelin-$version-windows-x64.zip" "quarvelin-$version-web.tar.gz" \
  "quarvelin-$version.tar.gz" >SHA256SUMS)
rm -rf "$stage"
echo "Release $version in $out ($((SECONDS - started)) s):"
(cd "$out" && ls -l --time-style=+ "$deb" quarvelin-"$version"* SHA256SUMS | awk '{print "  " $5 "  " $NF}')
