#include "app/ProgramIcon.h"

// Resources live in the static library; they are registered by name, outside any namespace.
static void InitIconResources()
{
    Q_INIT_RESOURCE(fenban);
}

namespace fenban {

QIcon ProgramIcon()
{
    InitIconResources();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/fenban-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace fenban
