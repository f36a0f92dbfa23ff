// Files in and out at the size of a large grade: opening a 5,000 x 15
// table (.xlsx written by libxlsxwriter, and the same as .csv), writing the
// workbook and the class-list PDF of 5,000 students in 100 classes.
#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "io/ClassListPrint.h"
#include "io/TableFile.h"
#include "io/WorkbookFile.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <xlsxwriter.h>

namespace {

constexpr int Students = 5000;
constexpr int Columns = 15;

const std::filesystem::path Folder = std::filesystem::temp_directory_path();

std::string Name(int r)
{
    const char* const surnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
    const char* const given[] = {"伟", "芳", "娜", "敏", "静", "磊", "洋", "艳", "勇", "军", "杰", "娟"};
    return std::string(surnames[r % 10]) + given[(r / 10) % 12] + given[(r / 120) % 12];
}

// Header, then name, gender, an empty class, the total and eleven scores.
std::filesystem::path GradeWorkbook()
{
    const std::filesystem::path file = Folder / "bench_io_grade.xlsx";
    lxw_workbook* const workbook = workbook_new(file.c_str());
    lxw_worksheet* const sheet = workbook_add_worksheet(workbook, nullptr);
    const char* const header[] = {"姓名", "性别", "班级", "总分", "语文", "数学", "英语", "物理", "化学", "生物",
        "政治", "历史", "地理", "体育", "美术"};
    for (int c = 0; c < Columns; ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), header[c], nullptr);
    for (int r = 1; r <= Students; ++r) {
        const auto row = static_cast<lxw_row_t>(r);
        worksheet_write_string(sheet, row, 0, Name(r).c_str(), nullptr);
        worksheet_write_string(sheet, row, 1, r % 2 ? "男" : "女", nullptr);
        double total = 0;
        for (int c = 4; c < Columns; ++c) {
            const double score = 40 + (r * 7 + c * 13) % 60 + (r % 3 ? 0.5 : 0);
            total += score;
            worksheet_write_number(sheet, row, static_cast<lxw_col_t>(c), score, nullptr);
        }
        worksheet_write_number(sheet, row, 3, total, nullptr);
    }
    workbook_close(workbook);
    return file;
}

void OpenXlsx(benchmark::State& state)
{
    const std::filesystem::path file = GradeWorkbook();
    for (auto _ : state)
        benchmark::DoNotOptimize(fenban::ReadTableFile(file));
    state.counters["file bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}

void OpenCsv(benchmark::State& state)
{
    const std::filesystem::path workbook = GradeWorkbook();
    const fenban::TableRows rows = fenban::ReadTableFile(workbook);
    std::filesystem::remove(workbook);
    const std::filesystem::path file = Folder / "bench_io_grade.csv";
    {
        std::ofstream out(file, std::ios::binary);
        for (const auto& row : rows) {
            for (std::size_t c = 0; c < row.size(); ++c)
                out << (c ? "," : "") << row[c];
            out << "\r\n";
        }
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(fenban::ReadTableFile(file));
    std::filesystem::remove(file);
}

fenban::DivisionTables LargeDivision()
{
    static fenban::DivisionState division;
    if (division.FStudents.empty()) {
        std::mt19937_64 rng(4);
        fenban::testkit::FillRandomRoster(division, rng, Students, fenban::testkit::ScoreKind::Half);
        division.FClasses.resize(100);
        fenban::AssignClasses(division, 100);
    }
    return fenban::MakeDivisionTables(
        division, {"总分", "语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理", "体育"});
}

void WriteWorkbook(benchmark::State& state)
{
    const std::filesystem::path file = Folder / "bench_io_division.xlsx";
    for (auto _ : state)
        fenban::ExportDivisionWorkbook(file, LargeDivision());
    state.counters["file bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}

void WritePdf(benchmark::State& state)
{
    const std::filesystem::path file = Folder / "bench_io_lists.pdf";
    for (auto _ : state)
        fenban::ExportClassListsPdf(file, LargeDivision());
    state.counters["file bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}

} // namespace

BENCHMARK(OpenXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteWorkbook)->Unit(benchmark::kMillisecond);
BENCHMARK(WritePdf)->Unit(benchmark::kMillisecond);

// The PDF needs fonts, and so an application object.
int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
