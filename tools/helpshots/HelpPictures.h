#pragma once

#include <QString>

namespace fenban::shots {

// The sizes of the two pictures on the help tab.
inline constexpr int PictureWidth = 745;
inline constexpr int RosterPictureHeight = 628;
inline constexpr int AveragesPictureHeight = 405;

// Draws roster-steps.png and averages-steps.png into dir from the window
// itself, working on the sample grade. Run offscreen. Returns the exit code.
int MakeHelpPictures(const QString& sampleGrade, const QString& dir);

} // namespace fenban::shots
