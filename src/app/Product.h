#pragma once

#include <QString>

namespace fenban {

// The window caption, the application title and the caption of the error box.
inline QString ProductName()
{
    return QStringLiteral("均衡分班");
}

} // namespace fenban
