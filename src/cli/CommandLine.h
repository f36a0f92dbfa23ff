#pragma once

namespace fenban {

// The program's commands without a window: `fenban divide …`, `fenban check
// …`, `fenban --help` (README.md, section 命令行). Returns the exit code
// (0 done or matched, 1 no match, 2 an error, told in Chinese on stderr),
// or -1 when the arguments are no command, so the window opens. Makes its
// own Qt application object, none must exist yet.
int RunCommandLine(int argc, char** argv);

} // namespace fenban
