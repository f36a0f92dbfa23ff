#pragma once

#include <QString>

namespace fenban::shots {

// Grabs of the whole screen (run on an X display, Qt's Chinese texts
// loaded) for the README's part on keeping the work:
// <dir>/<width>x<height>-read-warnings.png (the status bar after a paste
// with doubtful rows), -warning-rows.png (the rows listed on a click),
// -save-dialog.png (保存分班's file dialog) and -recovery-bar.png (the next
// start after a run that ended without closing). Returns the exit code.
int ShootSessionScreens(const QString& sampleGrade, const QString& dir);

} // namespace fenban::shots
