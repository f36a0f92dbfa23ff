#pragma once

// The benchmarks that drive the window share one main(): an offscreen
// QApplication and scripted dialogs (fenban_testkit), so that no box waits
// for a person. Grades come from the kit's GradeText.
#include "GradeText.h"
#include "WindowDriver.h"
