#pragma once

#include <cstddef>
#include <cstdint>

// The fuzz target's entry points, as libFuzzer calls them.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Ends the application made by LLVMFuzzerInitialize, so that a run outside
// libFuzzer exits as cleanly as any test (the leak check sees no Qt caches).
void FinishFuzzWindow();
