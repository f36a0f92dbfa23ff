#pragma once

#include <QString>

namespace fenban::shots {

// The sizes of the two pictures on the help tab.
inline constexpr int PictureWidth = 745;
inline constexpr int RosterPictureHeight = 628;
inline constexpr int AveragesPictureHeight = 405;

// Draws roster-steps.png, averages-steps.png (the sample grade) and
// rules-table.png (the sample grade with rule columns) into dir from the
// window itself. Run offscreen. Returns the exit code.
int MakeHelpPictures(const QString& sampleGrade, const QString& rulesGrade, const QString& dir);

} // namespace fenban::shots
