# The Debian package (cpack, see scripts/package.sh): what `cmake --install`
# puts under /usr, the program stripped, Depends from the binary's libraries
# (dpkg-shlibdeps) and from what no link shows.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fenban)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${FENBAN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FENBAN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "balanced division of a grade into parallel classes (均衡分班)
均衡分班 divides one grade of students into a chosen number of parallel
classes so that every class gets both genders and every rank in like
numbers and its subject averages lie close to the grade's. It opens the
grade's spreadsheet (.xlsx, .xls, .csv), balances the classes, keeps the
school's rules (siblings together, pupils apart, fixed places) and writes
the class lists as a workbook, PDF or print. The interface is in Chinese.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Joined with what dpkg-shlibdeps finds: the CJK font the window, the PDF and
# the print need, and Qt's platform themes and plugins, which no link shows.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-qpa-plugins")
# Qt's own texts in Chinese (file dialogs, buttons); Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
