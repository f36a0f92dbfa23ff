#!/usr/bin/env bash
# The division file's MIME type is well-formed, and a MIME database built from
# it alone gives *.fenban the type the desktop entry opens.
#   bash mime-type.sh fenban-mime.xml fenban.desktop
set -euo pipefail
xml=$1
entry=$2
xmllint --noout "$xml"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/packages"
cp "$xml" "$work/packages/fenban.xml"
update-mime-database "$work" 2>/dev/null
grep -qx '50:application/x-fenban:\*\.fenban' "$work/globs2" || { echo "*.fenban is no application/x-fenban" >&2; exit 1; }
grep -q '均衡分班文件' "$work/application/x-fenban.xml" || { echo "the type has no Chinese comment" >&2; exit 1; }
type=$(sed -n 's/^MimeType=//p' "$entry")
[[ $type == *"application/x-fenban;"* ]] || { echo "the desktop entry does not open application/x-fenban" >&2; exit 1; }
echo "application/x-fenban: *.fenban, opened by the desktop entry"
