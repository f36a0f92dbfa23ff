// A reader's fuzz target over its corpus, once, as a regression test.
#include "ReplayCorpus.h"

int main(int argc, char** argv)
{
    return ReplayCorpus(argc, argv);
}
