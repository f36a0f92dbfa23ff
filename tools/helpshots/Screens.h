#pragma once

#include <QString>

namespace fenban::shots {

// Opens the window on the running display (maximised by the window manager),
// divides the sample grade and saves a grab of the whole screen per tab as
// <dir>/<width>x<height>-help|roster|averages.png. Returns the exit code.
int ShootScreens(const QString& sampleGrade, const QString& dir);

// Lets the event loop run for a while: the window manager maximises and the
// window repaints.
void Settle(int milliseconds);

} // namespace fenban::shots
