#pragma once

#include <filesystem>
#include <string_view>

namespace fenban {

// Reads the bytes as a table file of that name, every sheet; a refusal with
// a reason is a pass, any other exception or a crash a finding. The table
// read must keep within the table limits.
void FuzzTableBytes(std::string_view bytes, const std::filesystem::path& name);

} // namespace fenban
