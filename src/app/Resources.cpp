#include "app/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function outside any namespace.
static void InitFenbanResources()
{
    Q_INIT_RESOURCE(fenban);
}

namespace fenban {

void RegisterResources()
{
    InitFenbanResources();
}

} // namespace fenban
