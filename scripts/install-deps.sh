#!/usr/bin/env bash
# Installs from Debian's packages what building, running and testing need.
# Does nothing (and asks for nothing) when everything is there already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-charts-dev libqt6opengl6-dev  # the balance tab's pictures (Qt Charts' CMake files need Qt OpenGL's)
  fonts-noto-cjk                # the Chinese interface needs a CJK font
  libicu-dev pkg-config         # sound-alike names: ICU's Han-Latin transliteration (src/rules)
  qt6-translations-l10n         # Qt's own texts (dialogs, buttons, menus) in Chinese
  libbenchmark-dev              # bench/
  python3 python3-xlrd libfreexl-dev pkg-config  # tests only: read exported .xls files back
  libglpk-dev                   # src/choice: GLPK solves the plan of classes by elective subjects
  libxlsxwriter-dev zlib1g-dev  # src/io: the .xlsx workbook; unpacking .xlsx files (.xls is our own reader)
  python3-openpyxl poppler-utils  # tests read written workbooks and PDFs back
  clang-format git                # scripts/test.sh checks the formatting of every tracked C++ file
  dpkg-dev lintian desktop-file-utils libxml2-utils shared-mime-info man-db  # scripts/package.sh: build and check the .deb
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
