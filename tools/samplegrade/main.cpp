// Writes the fictional sample grade: fenban_samplegrade [file] (standard output without one).
#include "SampleGrade.h"

#include <fstream>
#include <iostream>

int main(int argc, char* argv[])
{
    const std::string text = fenban::sample::MakeSampleGrade();
    if (argc < 2) {
        std::cout << text;
        return std::cout ? 0 : 1;
    }
    std::ofstream file(argv[1], std::ios::binary);
    file << text;
    file.close();
    if (!file) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
