#!/usr/bin/env bash
# Installs what is missing, builds the Debian package fenban_<version>_amd64.deb
# and checks it (packaging/check-package.sh): a Release build in build-package/
# (or $PACKAGE_BUILD_DIR), stripped and packed by CPack, the .deb in the
# project folder. Prints the packages it depends on, to carry along to a
# machine without a network (docs/install.md).
#   bash scripts/package.sh
#   bash scripts/package.sh --from build   # packs an existing build tree instead (scripts/test.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/install-deps.sh"

if [ "${1:-}" = --from ]; then
  build=$(cd "${2:?--from needs a build folder}" && pwd)
  out=$build/package
  reference=$build/src/app/fenban
else
  build=${PACKAGE_BUILD_DIR:-$root/build-package}
  out=$root
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" --parallel "$(nproc)"
fi

mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null 2>&1) || { echo "cpack failed" >&2; exit 1; }
deb=$(ls -t "$build"/cpack/fenban_*_*.deb | head -n 1)
mv -f "$deb" "$out/"
deb=$out/$(basename "$deb")

# Compared with the program of a build tree: the normal build when there is one.
if [ -z "${reference:-}" ]; then
  reference=${BUILD_DIR:-$root/build}/src/app/fenban
  [ -x "$reference" ] || reference=$build/src/app/fenban
fi
bash "$root/packaging/check-package.sh" "$deb" "$reference"

echo "$deb"
echo "Depends (for a machine without a network, see docs/install.md):"
dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -e 's/([^)]*)//g' -e 's/|.*//' -e 's/ //g' | sed '/^$/d' | sort -u |
  sed 's/^/  /'
