#include "app/ProgramIcon.h"

#include "app/Resources.h"

namespace fenban {

QIcon ProgramIcon()
{
    RegisterResources();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/fenban-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace fenban
