// Writes the fictional sample grade: fenban_samplegrade [file [file-with-rules]]
// (the grade alone to standard output without a file).
#include "SampleGrade.h"

#include <fstream>
#include <iostream>

namespace {

bool Write(const char* path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file)
        std::cerr << "cannot write " << path << "\n";
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::cout << fenban::sample::MakeSampleGrade();
        return std::cout ? 0 : 1;
    }
    if (!Write(argv[1], fenban::sample::MakeSampleGrade()))
        return 1;
    if (argc >= 3 && !Write(argv[2], fenban::sample::MakeSampleGradeWithRules()))
        return 1;
    return 0;
}
