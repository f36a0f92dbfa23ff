// Writing a 5,000-row roster of 15 columns as an .xls file, file writing
// included.
#include "xls/GridXls.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Roster(int rows, int columns)
{
    const char* const surnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
    const char* const given[] = {"伟", "芳", "娜", "敏", "静", "磊", "洋", "艳", "勇", "军", "杰", "娟"};
    std::vector<std::string> cells(static_cast<std::size_t>(rows) * columns);
    for (int r = 0; r < rows; ++r) {
        std::string* const row = &cells[static_cast<std::size_t>(r) * columns];
        row[0] = std::to_string(r);
        row[1] = std::string(surnames[r % 10]) + given[(r / 10) % 12] + given[(r / 120) % 12];
        row[2] = r % 2 ? "男" : "女";
        row[3] = std::to_string(r % 40 + 1);
        for (int c = 4; c < columns; ++c)
            row[c] = std::to_string(40 + (r * 7 + c * 13) % 60) + (r % 3 ? ".5" : "");
    }
    return cells;
}

void ExportRoster(benchmark::State& state)
{
    constexpr int Rows = 5000;
    constexpr int Columns = 15;
    const std::vector<std::string> cells = Roster(Rows, Columns);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "bench_xls.xls";
    const auto disk = fenban::DiskFileSystem();
    for (auto _ : state) {
        fenban::WriteGridXls(*disk, file, Rows, Columns, [&cells](int column, int row) -> const std::string& {
            return cells[static_cast<std::size_t>(row) * Columns + column];
        });
    }
    state.counters["file bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}

} // namespace

BENCHMARK(ExportRoster)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
