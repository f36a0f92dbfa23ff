#pragma once

class QCoreApplication;

namespace fenban {

// Loads Qt's own Chinese texts (qtbase_zh_CN from Qt's translations folder):
// the buttons of boxes, the file and print dialogs, the line edits' menus.
// False when they are not installed (Debian: qt6-translations-l10n); Qt's
// English texts stay then.
bool InstallQtTranslations(QCoreApplication& application);

} // namespace fenban
