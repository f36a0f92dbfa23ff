// The command line on its own, as the program runs it before any window: for
// the tests, until the program's main() hands its arguments to it too.
#include "cli/CommandLine.h"

int main(int argc, char** argv)
{
    const int code = fenban::RunCommandLine(argc, argv);
    return code < 0 ? 3 : code; // 3: no command, the window would open
}
