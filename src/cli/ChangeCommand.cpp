#include "cli/ChangeCommand.h"

#include "audit/PublicDivision.h"
#include "cli/CommandTools.h"
#include "common/FileSaving.h"
#include "document/AfterChanges.h"
#include "document/Workbench.h"
#include "io/WorkbookFile.h"
#include "outputs/DivisionOutputs.h"
#include "roster/RosterBuilder.h"
#include "session/DivisionFile.h"

#include <QDate>
#include <optional>

namespace fenban {

namespace {

struct ChangeArguments {
    std::filesystem::path input;
    std::optional<std::filesystem::path> add;
    std::string remove, move, kind, reason, by, date;
    int to = 0;
    int row = 0;
    bool allowSwap = false;
    bool acceptBest = false;
    std::optional<std::filesystem::path> out;
};

ChangeArguments ParseChange(int argc, char** argv)
{
    ChangeArguments arguments;
    bool haveInput = false;
    int modes = 0;
    for (int k = 2; k < argc; ++k) {
        const std::string argument = Local(argv[k]);
        const auto value = [&] {
            if (k + 1 >= argc)
                throw UsageError("选项 " + argument + " 缺少值。");
            return Local(argv[++k]);
        };
        const auto number = [&](int low, int high, const std::string& what) {
            const std::string text = value();
            bool ok = false;
            const int n = QString::fromStdString(text).toInt(&ok);
            if (!ok || n < low || n > high)
                throw UsageError(what + "必须是 " + std::to_string(low) + " 到 " + std::to_string(high)
                    + " 之间的整数（" + argument + " “" + text + "”）。");
            return n;
        };
        if (argument == "--add") {
            value();
            arguments.add = PathOf(argv[k]);
            ++modes;
        } else if (argument == "--remove") {
            arguments.remove = value();
            ++modes;
        } else if (argument == "--move") {
            arguments.move = value();
            ++modes;
        } else if (argument == "--kind") {
            arguments.kind = value();
        } else if (argument == "--reason") {
            arguments.reason = value();
        } else if (argument == "--by") {
            arguments.by = value();
        } else if (argument == "--date") {
            arguments.date = value();
        } else if (argument == "--to") {
            arguments.to = number(1, MaxClassCount, "班号");
        } else if (argument == "--row") {
            arguments.row = number(2, 1 << 30, "行号");
        } else if (argument == "--allow-swap") {
            arguments.allowSwap = true;
        } else if (argument == "--accept-best") {
            arguments.acceptBest = true;
        } else if (argument == "--out") {
            value();
            arguments.out = PathOf(argv[k]);
        } else if (argument.starts_with("-") && argument.size() > 1) {
            throw UsageError("不认识的选项“" + argument + "”。");
        } else if (!haveInput) {
            arguments.input = PathOf(argv[k]);
            haveInput = true;
        } else {
            throw UsageError("多余的参数“" + argument + "”。");
        }
    }
    if (!haveInput)
        throw UsageError("缺少分班文件。");
    if (Suffix(arguments.input) != "." + std::string(DivisionFileSuffix))
        throw UsageError("变更只能在分班文件（.fenban）上做：只有它记有能重演的分班。");
    if (modes != 1)
        throw UsageError("--add、--remove 和 --move 必须给且只给一个。");
    if (!arguments.remove.empty() && arguments.kind != "转学" && arguments.kind != "退学" && arguments.kind != "其他")
        throw UsageError("转出需要 --kind 转学、退学或其他。");
    if (!arguments.move.empty() && arguments.to == 0)
        throw UsageError("调班申请需要目标班号（--to）。");
    if (arguments.date.empty())
        arguments.date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    else if (!QDate::fromString(QString::fromStdString(arguments.date), QStringLiteral("yyyy-MM-dd")).isValid())
        throw UsageError("日期须写成 YYYY-MM-DD（--date “" + arguments.date + "”）。");
    if (!arguments.out)
        throw UsageError("缺少输出文件（--out）。");
    const std::string suffix = Suffix(*arguments.out);
    if (suffix != ".xlsx" && suffix != ".csv" && suffix != "." + std::string(DivisionFileSuffix))
        throw UsageError("输出文件必须是 .fenban、.xlsx 或 .csv：“" + PathText(*arguments.out) + "”。");
    std::error_code error;
    if (std::filesystem::weakly_canonical(*arguments.out, error)
        == std::filesystem::weakly_canonical(arguments.input, error))
        throw UsageError("输出文件不能是输入的分班文件：变更写进另一个文件。");
    return arguments;
}

// The one student a name means: --row chooses among several.
int ChosenStudent(const Division& division, const std::string& name, int row)
{
    const std::vector<int> found = StudentsNamed(division, name);
    if (found.empty())
        throw Failure("名册中没有“" + name + "”。");
    if (row > 0) {
        for (const int record : found)
            if (record + 2 == row)
                return record;
        throw Failure("第 " + std::to_string(row) + " 行不是“" + name + "”。");
    }
    if (found.size() == 1)
        return found.front();
    std::string text = "名册中有 " + std::to_string(found.size()) + " 名“" + name + "”，请用 --row 指定行号：";
    for (const int record : found)
        text += "\n  " + StudentText(division, record);
    throw Failure(text);
}

void TellProposal(const ChangeStudy& study, const Proposal& proposal, const std::string& label)
{
    Print(label + study.movesText(proposal));
    if (!proposal.shares.empty())
        Print("    " + study.sharesText(proposal));
    Print("    " + study.figuresText(proposal));
}

void WriteChangedCsv(const std::filesystem::path& file, const Division& division)
{
    std::string text = "\xEF\xBB\xBF"; // UTF-8, as spreadsheets recognise it
    for (const std::vector<std::string>& row : RosterWithChanges(division)) {
        for (std::size_t c = 0; c < row.size(); ++c)
            text += (c > 0 ? "," : "") + CsvField(row[c]);
        text += "\r\n";
    }
    SaveFileSafely(*DiskFileSystem(), file, [&text](ByteSink& out) {
        out.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    });
}

} // namespace

int RunChange(int argc, char** argv)
{
    const ChangeArguments arguments = ParseChange(argc, argv);
    Workbench work;
    work.start(CellGrid(RosterColumns, 2), nullptr, false);
    work.openDivision(arguments.input);
    const Division& division = work.division();
    const ChangeMeta meta {arguments.date, arguments.by, arguments.reason, arguments.kind};

    std::optional<ChangeEntry> accepted;
    StepKind step = StepKind::AddStudents;
    if (arguments.add) {
        const ProposedImport imported = ReadLikeOpen(*arguments.add);
        const ArrivalRows rows = ReadArrivalRows(division, TypedRowsOf(division, imported.table));
        for (const std::vector<std::string>& row : rows.rows)
            if (!StudentsNamed(division, row.front()).empty())
                Tell("注意：“" + row.front() + "”与年级中已有的学生同名，将作为两名学生。");
        const std::unique_ptr<ChangeStudy> study = ChangeStudy::ofArrivals(division, rows);
        const ArrivalPlan plan = study->weigher().placeArrivals(arguments.allowSwap);
        for (std::size_t i = 0; i < plan.choices.size(); ++i) {
            Print("新学生 " + study->nameOf(study->newcomers()[i]) + "：");
            for (std::size_t k = 0; k < plan.choices[i].size(); ++k)
                TellProposal(*study, plan.choices[i][k], "  方案 " + std::to_string(k + 1) + "：");
        }
        TellProposal(*study, plan.best, "建议：");
        if (arguments.acceptBest)
            accepted = study->entry(&plan.best, meta);
    } else if (!arguments.remove.empty()) {
        const int record = ChosenStudent(division, arguments.remove, arguments.row);
        const std::unique_ptr<ChangeStudy> study = ChangeStudy::ofLeaver(division, record);
        const std::vector<Proposal> even = study->weigher().evenSizes();
        if (!even.empty())
            TellProposal(*study, even.front(), "人数相差 2 人以上，随之调整：");
        accepted = study->entry(even.empty() ? nullptr : &even.front(), meta);
        step = StepKind::RemoveStudent;
    } else {
        const int record = ChosenStudent(division, arguments.move, arguments.row);
        const std::unique_ptr<ChangeStudy> study = ChangeStudy::ofRequest(division);
        const MovePlan plan = study->weigher().requestMove(record, arguments.to);
        if (!plan.refusal.empty())
            throw Failure("不能调班：" + plan.refusal);
        for (std::size_t k = 0; k < plan.partners.size(); ++k)
            TellProposal(*study, plan.partners[k], "换回 " + std::to_string(k + 1) + "：");
        if (plan.aloneAllowed)
            TellProposal(*study, plan.alone, "单独调入：");
        if (arguments.acceptBest)
            accepted = study->entry(plan.partners.empty() ? &plan.alone : &plan.partners.front(), meta);
        step = StepKind::RequestMove;
    }
    if (!accepted)
        return ExitMatch; // proposals only: nothing written

    work.applyChange(step, *accepted);
    const std::string suffix = Suffix(*arguments.out);
    if (suffix == ".csv") {
        WriteChangedCsv(*arguments.out, division);
    } else if (suffix == ".xlsx") {
        WriteWorkbook(*DiskFileSystem(), *arguments.out, WorkbookOutput(division));
    } else {
        Snapshot listed = division.capture();
        listed.tableShown = false;
        WriteDivisionFile(
            *DiskFileSystem(), *arguments.out, DivisionJson(listed, PublicDivisionJson(division.publicState())));
    }
    Print(division.resultFingerprint());
    return ExitMatch;
}

} // namespace fenban
