// The window's fuzz target over its corpus, once, as a regression test.
#include "FuzzWindow.h"
#include "ReplayCorpus.h"

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    const int result = ReplayCorpus(argc, argv);
    FinishFuzzWindow();
    return result;
}
