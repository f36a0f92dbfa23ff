#!/usr/bin/env bash
# The manual page says what `fenban --help` says: rendered by man without a
# warning, it holds every line of the help (spaces aside) and the version.
#   bash manual-page.sh PROGRAM fenban.1
set -euo pipefail
program=$1
page=$2
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$page" 2>"$errors" | col -bx | tr -d ' \n')
if [ -s "$errors" ]; then
  cat "$errors" >&2
  exit 1
fi
version=$("$program" --version | tr -d ' ')
[[ $rendered == *"$version"* ]] || { echo "the page does not name $version" >&2; exit 1; }
lines=0
while IFS= read -r line; do
  # A heading (用法：, 选项：, 退出码：…) becomes the page's own section name.
  [[ $line =~ ^[^\ -]+：(.*)$ ]] && line=${BASH_REMATCH[1]}
  text=${line// /}
  [ -z "$text" ] && continue
  lines=$((lines + 1))
  [[ $rendered == *"$text"* ]] || { echo "missing from the page: $line" >&2; exit 1; }
done < <("$program" --help)
[ "$lines" -gt 20 ] || { echo "the help had only $lines lines" >&2; exit 1; }
echo "the manual page holds all $lines lines of the help"
