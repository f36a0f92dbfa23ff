#include "common/Version.h"

namespace fenban {

const char* ProgramVersion()
{
    return FENBAN_VERSION;
}

const char* BuildDate()
{
    return FENBAN_BUILD_DATE;
}

} // namespace fenban
