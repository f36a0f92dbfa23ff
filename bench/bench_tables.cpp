// Reading a school's table of a large grade and finding students in it:
// the layout proposed and applied to 5,000 students (title rows, 序号 and
// 学号, ten subjects without a total, some 缺考), and a name found by its
// pinyin initials among 5,000 students in 100 classes.
#include "io/TableLayout.h"
#include "roster/Gb18030.h"
#include "rules/StudentFinder.h"

#include <benchmark/benchmark.h>

namespace {

using namespace fenban;

constexpr int Students = 5000;

std::string Name(int r)
{
    const char* const surnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
    const char* const given[] = {"伟", "芳", "娜", "敏", "静", "磊", "洋", "艳", "勇", "军", "杰", "娟"};
    return std::string(surnames[r % 10]) + given[(r / 10) % 12] + given[(r / 120) % 12];
}

std::vector<TableSheet> SchoolTable()
{
    TableRows rows {{"2026级新生名单"}, {"制表：教务处"},
        {"序号", "学号", "姓名", "性别", "语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理", "体育",
            "备注"}};
    for (int r = 1; r <= Students; ++r) {
        std::vector<std::string> row {std::to_string(r), std::to_string(20260000 + r), Name(r), r % 2 ? "男" : "女"};
        for (int s = 0; s < 10; ++s)
            row.push_back(r % 97 == s ? "缺考" : std::to_string(40 + (r * 7 + s * 13) % 60) + (r % 3 ? ".5" : ""));
        row.push_back(r % 11 == 0 ? "住校" : "");
        rows.push_back(std::move(row));
    }
    return {{"Sheet1", std::move(rows)}};
}

void BM_ImportSchoolTable(benchmark::State& state)
{
    const std::vector<TableSheet> sheets = SchoolTable();
    for (auto _ : state) {
        const ImportProposal proposal = ProposeImport(sheets, ".");
        benchmark::DoNotOptimize(ImportTable(sheets, proposal.choice, "."));
    }
}
BENCHMARK(BM_ImportSchoolTable)->Unit(benchmark::kMillisecond);

void BM_FindByInitials(benchmark::State& state)
{
    DivisionState grade;
    grade.FClasses.resize(100);
    for (int r = 0; r < Students; ++r) {
        grade.Records.push_back(std::make_unique<TStudent>());
        grade.Records.back()->Name = Gb18030Prefix(Name(r), std::string::npos);
        grade.FStudents.push_back(grade.Records.back().get());
        grade.FClasses[static_cast<std::size_t>(r % 100)].push_back(grade.Records.back().get());
    }
    // The one student read "wu jun jie" sits far down the search order.
    const TStudent* after = nullptr;
    for (auto _ : state) {
        const std::optional<FoundStudent> found = FindNextStudent(grade, "wjj", after);
        after = found ? found->student : nullptr;
        benchmark::DoNotOptimize(after);
    }
}
BENCHMARK(BM_FindByInitials)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
