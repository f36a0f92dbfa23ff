#pragma once

#include "engine/Optimiser.h"

#include <functional>

class QWidget;

namespace fenban {

// Runs `work` on a worker thread while a modal progress dialog
// ("dlgBalanceProgress", 取消) stands over `parent`, and returns when the
// work has ended. The work gets a control with the cancel flag, which 取消,
// Esc and closing the dialog set, and a progress callback whose reports
// (0..1) reach the dialog and `reported` on the GUI thread. The work must
// touch nothing the GUI thread may change: it runs on an immutable input
// and hands back a value. False when cancelled; a failure of the work is
// thrown again here.
bool RunInBackground(QWidget* parent, const std::function<void(const OptimiseControl&)>& work,
    const std::function<void(double)>& reported = {});

} // namespace fenban
