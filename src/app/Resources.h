#pragma once

namespace fenban {

// Registers the program's resources (help page, pictures, icons), which live
// in the static library and so are not registered on their own. Repeatable.
void RegisterResources();

} // namespace fenban
