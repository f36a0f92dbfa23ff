cmake_minimum_required(VERSION 3.21)
# Installs the build into a scratch prefix and checks that a desktop finds the
# program: the binary, its desktop entry, the icon the entry names, the
# division file's MIME type, the manual page, the copyright, the sample.
# cmake -DBUILD_DIR=... -DPREFIX=... -P InstallLayout.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(entry "${PREFIX}/share/applications/fenban.desktop")
foreach(file bin/fenban share/applications/fenban.desktop share/icons/hicolor/scalable/apps/fenban.svg
             share/icons/hicolor/48x48/apps/fenban.png share/icons/hicolor/256x256/apps/fenban.png
             share/fenban/sample-grade.tsv share/fenban/sample-grade-rules.tsv share/mime/packages/fenban.xml
             share/man/man1/fenban.1.gz share/doc/fenban/copyright share/doc/fenban/changelog.gz)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(NOT IS_DIRECTORY "${PREFIX}/bin" OR IS_DIRECTORY "${PREFIX}/bin/fenban")
  message(FATAL_ERROR "bin/fenban is no program")
endif()

# The entry starts the installed binary on the file opened with it, and names the installed icon.
file(STRINGS "${entry}" lines ENCODING UTF-8)
foreach(key Type=Application "Exec=fenban %f" Icon=fenban Name=均衡分班 Terminal=false)
  if(NOT key IN_LIST lines)
    message(FATAL_ERROR "${entry} lacks ${key}")
  endif()
endforeach()
# It opens division files and the tables (打开方式 in a file manager).
file(READ "${entry}" text)
foreach(type application/x-fenban application/vnd.openxmlformats-officedocument.spreadsheetml.sheet text/csv)
  if(NOT text MATCHES "\nMimeType=[^\n]*${type};")
    message(FATAL_ERROR "${entry} does not open ${type}")
  endif()
endforeach()
list(GET lines 0 group)
if(NOT group STREQUAL "[Desktop Entry]")
  message(FATAL_ERROR "${entry} does not begin with [Desktop Entry]")
endif()
message(STATUS "installed layout complete under ${PREFIX}")
