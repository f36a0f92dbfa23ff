#pragma once

#include <QString>

// A grade as a spreadsheet copies it: header line, then `students` lines of
// name, gender, an empty class, the total and ten whole-point subject scores.
QString GradeText(int students);
