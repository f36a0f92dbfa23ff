#pragma once

namespace fenban {

// `fenban change FILE.fenban (--add TABLE | --remove NAME … | --move NAME --to C …) --out OUT`:
// the proposals of a change after the division printed; with --accept-best
// (always for --remove) the best applied and OUT written. argv[1] is
// "change". Returns the exit code; throws UsageError and Failure.
int RunChange(int argc, char** argv);

} // namespace fenban
