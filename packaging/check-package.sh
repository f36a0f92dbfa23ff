#!/usr/bin/env bash
# Checks a built fenban_*.deb against the program of a build tree:
#   bash packaging/check-package.sh fenban_0.1_amd64.deb build/src/app/fenban
# lintian without errors (and no warning but those CONTRIBUTING.md explains),
# the files against packaging/package-contents.txt, Depends, the unpacked
# program (--version, --help, a division of the packaged sample grade with
# the reference program's fingerprints), the desktop entry, the MIME type and
# the manual page.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deb=$1
reference=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

# lintian: no errors; a warning only if it is one of the accepted ones.
accepted=$(grep -v '^#' "$here/lintian-accepted.txt" | sed 's/ .*//' | tr '\n' ',' | sed 's/,$//' || true)
lintian --fail-on error,warning ${accepted:+--suppress-tags "$accepted"} --tag-display-limit 0 "$deb" ||
  fail "lintian found errors or new warnings"

# The files, and nothing else.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort >"$work/contents"
diff -u "$here/package-contents.txt" "$work/contents" || fail "the package's files differ from package-contents.txt"

# Depends: the libraries dpkg-shlibdeps found, and what no link shows.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libqt6widgets6 libqt6charts6 libxlsxwriter fonts-noto-cjk qt6-qpa-plugins; do
  [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

# The unpacked program runs from the package's tree (it links the system's Qt).
dpkg-deb -x "$deb" "$work/root"
program=$work/root/usr/bin/fenban
version=$(dpkg-deb -f "$deb" Version)
[ "$("$program" --version)" = "fenban $version" ] || fail "fenban --version is not the package's $version"
readelf -S "$program" | grep -q '\.debug_info' && fail "the packaged program keeps its debug symbols"
diff <("$program" --help) <("$reference" --help) >/dev/null || fail "fenban --help differs from the build tree's"
sample=$work/root/usr/share/fenban/sample-grade-rules.tsv
divide=(divide "$sample" --classes 13 --seed 31415926 --threads 2)
"$program" "${divide[@]}" --out "$work/packaged.xlsx" >"$work/packaged" 2>/dev/null
"$reference" "${divide[@]}" --out "$work/reference.xlsx" >"$work/reference" 2>/dev/null
[ "$(wc -l <"$work/packaged")" -eq 2 ] || fail "fenban divide printed no fingerprints"
diff "$work/packaged" "$work/reference" || fail "the packaged program divides differently"

# The desktop entry, the MIME type a file manager learns from it, the manual page.
desktop-file-validate "$work/root/usr/share/applications/fenban.desktop"
grep -q '^MimeType=application/x-fenban;' "$work/root/usr/share/applications/fenban.desktop" ||
  fail "the desktop entry does not open .fenban files"
xmllint --noout "$work/root/usr/share/mime/packages/fenban.xml"
mkdir -p "$work/mime/packages"
cp "$work/root/usr/share/mime/packages/fenban.xml" "$work/mime/packages/"
update-mime-database "$work/mime" 2>/dev/null
grep -q '^50:application/x-fenban:\*\.fenban$' "$work/mime/globs2" || fail "*.fenban is no application/x-fenban"
man_page=$work/root/usr/share/man/man1/fenban.1.gz
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page gives warnings: $warnings"
echo "check-package: $(basename "$deb") passes"
