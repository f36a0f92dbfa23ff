// libFuzzer supplies main(); the target's entry points live in fenban_fuzz_target.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Keeps the target's object file in the link.
[[maybe_unused]] static auto* const KeepTarget = &LLVMFuzzerTestOneInput;
