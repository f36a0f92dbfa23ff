#pragma once

#include <QString>
#include <vector>

class QMainWindow;

namespace fenban {

// A library the program is linked with, as 关于 names it.
struct LibraryNotice {
    QString name;
    QString version;
    QString licence;
};

// The libraries of this build: Qt, Qt Charts, libxlsxwriter, zlib and ICU,
// each with the version in use and its licence.
std::vector<LibraryNotice> UsedLibraries();

// The text of 关于: the program and its version, the build date, the
// libraries and the program's licence.
QString AboutText();

// The menu 帮助 (mnuHelp, made when the window has none) with 关于
// (actAbout), which shows AboutText in an information box.
void CreateAboutAction(QMainWindow& window);

} // namespace fenban
