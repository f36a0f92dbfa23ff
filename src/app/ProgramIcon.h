#pragma once

#include <QIcon>

namespace fenban {

// The program's icon, in every size the resources hold (16 to 256 pixels):
// the window's title bar, the task bar and the window switcher take it.
QIcon ProgramIcon();

} // namespace fenban
