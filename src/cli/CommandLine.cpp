#include "cli/CommandLine.h"

#include "audit/Fingerprint.h"
#include "audit/PublicDivision.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "choice/ChoiceOutputs.h"
#include "choice/DivideWithinPlan.h"
#include "cli/ChangeCommand.h"
#include "cli/CommandTools.h"
#include "common/FileSaving.h"
#include "common/Version.h"
#include "document/PublicRun.h"
#include "document/Workbench.h"
#include "engine/RankGroups.h"
#include "engine/RuleCheck.h"
#include "io/ClassListPrint.h"
#include "io/OutputTables.h"
#include "io/PublicOutputs.h"
#include "io/TableFile.h"
#include "io/TableLayout.h"
#include "io/WorkbookFile.h"
#include "outputs/DivisionOutputs.h"
#include "roster/Gb18030.h"
#include "roster/RosterBuilder.h"
#include "roster/RosterSummary.h"
#include "session/DivisionFile.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace fenban {

namespace {

const char* const HelpText = R"(用法：
  fenban divide 表格文件 (--classes 分班数 | --setup 班级设置表) [--seed 种子] [--bands 分段数]
                [--no-sound-alike] [--teachers 班主任名单] [--threads 线程数]
                --out 输出文件 [--notice 公示名单 [--mask-names] [--by-name]]
  fenban divide 表格文件 --by-choice [--limit 每班人数上限] [--rooms 教室数]
                [--model 3+1+2|3+3] [--setup 班级设置表] [--seed 种子] [--bands 分段数]
                [--no-sound-alike] [--threads 线程数] --out 输出文件
  fenban check 分班文件.fenban [--threads 线程数]
  fenban check 表格文件 (--classes 分班数 | --setup 班级设置表) [--seed 种子] [--bands 分段数]
               [--no-sound-alike] [--threads 线程数] --expect 结果指纹
  fenban change 分班文件.fenban --add 新学生表格 [--allow-swap] [--accept-best]
                [--by 申请人] [--date 日期] [--reason 原因] --out 输出文件
  fenban change 分班文件.fenban --remove 姓名 --kind 转学|退学|其他
                [--reason 原因] [--row 行号] [--by 申请人] [--date 日期] --out 输出文件
  fenban change 分班文件.fenban --move 姓名 --to 班号 [--reason 原因]
                [--row 行号] [--accept-best] [--by 申请人] [--date 日期] --out 输出文件
  fenban --help
  fenban --version

divide  像“打开”一样读入表格文件（.xlsx、.xls、.csv、.tsv、.txt），用种子
        编班并一键均衡，写出输出文件；标准输出先后打印输入指纹和结果指纹
        （各 64 位十六进制数字）。
        加 --by-choice 时按选科分班：读“选科”列（或“首选”“再选1”“再选2”），
        排出各组合的班级和走班学科，再在每组班级中编班并一键均衡，
        走班学生分入各科教学班。
check   重做一次分班，比较结果指纹：一致时退出码为 0，不一致为 1。
        分班文件记有它的表格、分班数、选项和种子；表格文件则需同样的选项
        和 --expect 给出的指纹（64 位，或 16 位简写）。
change  分班后的变更：插班（--add，表格的列与名册相同）、转出（--remove）、
        调班申请（--move）。打印各方案及其人数、男女、分数段和总偏差；
        不加 --accept-best 时不写任何文件。加 --accept-best（转出总是）时采用
        最好的方案，写出输出文件（.fenban、.xlsx，或 .csv：班级一列填好，插班
        学生在后，最后一列“状态”写明已转出），最后打印新的结果指纹。
        --allow-swap 允许另两个班之间再交换一对同性别、同分数段的学生；
        --row 在同名学生中按表格行号选一个；--to 是班号；--date 默认今天。
--version  打印程序的版本号，即操作记录中的“程序版本”。

选项：
  --classes N     分班数，1 到 100。
  --setup F       班级设置表（.tsv、.csv 或 .xlsx），代替 --classes：表头 班名 人数 类型 条件，
                  每班一行，按班号排列。类型：平行班、实验班或特长班；条件：空
                  （实验班取总分在前的学生，平行班收其余的）或“列名=值”，如 特长=体育；
                  人数空着则平分余下的学生。各类班级分别编班和均衡；工作簿、PDF 和
                  公示名单用班名，.csv 的班级一列仍是班号。
  --seed S        公开抽取的种子：一串数字（最多 64 位）；默认 20240611，
                  即窗口中一键均衡的种子。
  --bands B       一键均衡保持均匀的分数段数：0（不分）、5、10 或 20，默认 10，
                  即窗口中“公开分班”的分段。
  --no-sound-alike  同名或读音相同的学生不必分开（窗口中取消“同音姓名分班”）；
                  默认与窗口一样分开。
  --teachers F    班主任名单（UTF-8 或 GB18030 文本，一行一位），用种子抽签到各班，
                  写入各班标题。
  --threads T     计算用的线程数，1 到 64，默认 2；结果与线程数无关。
  --out F         .xlsx（分班工作簿）、.pdf（班级名单）、.fenban（分班文件，
                  窗口可以打开，记有种子、班主任和操作记录）或 .csv（原表格，
                  班级一列填好）。
  --notice F      另写公示名单（.pdf 或 .xlsx）：每班序号、姓名、性别，班主任在班级标题中，
                  不列分数；名单下注明结果指纹、种子、日期和签字栏。
  --mask-names    公示名单中姓名打码（张*、张*明、欧阳**）。
  --by-name       公示名单按姓名拼音排序（默认按班级名单的顺序）。
  --expect FP     期望的结果指纹。
  --by-choice     按选科分班，代替 --classes；输出中有方案、行政班名单（含组合）
                  和各科教学班名单。同时给 --setup 时按方案顺序用其中的班名。
  --limit L       选科分班每班（和教学班）最多的人数，1 到 1000，默认 50。
  --rooms R       选科分班的班数（教室数），1 到 100；默认为上限允许的最少班数。
  --model M       选科模式：3+1+2 或 3+3；默认 3+1+2，多数选科只合 3+3 时为 3+3。

退出码：0 完成或核验一致；1 核验不一致；2 出错（原因用中文写在标准错误上），
此时不写任何文件。
)";

struct Arguments {
    std::string command;
    std::filesystem::path input;
    DivisionOptions options {1, true, DefaultPublicBands};
    bool classesGiven = false;
    std::string seedText = std::string(DefaultSeedText);
    bool seedGiven = false;
    bool bandsGiven = false;
    bool soundAlikeGiven = false;
    std::optional<std::filesystem::path> teachers;
    std::optional<std::filesystem::path> out;
    std::optional<std::filesystem::path> notice;
    NoticeOptions noticeOptions;
    std::string expect;
    int threads = 2;
    bool byChoice = false;
    int limit = 50;
    bool limitGiven = false;
    int rooms = 0; // 0: the fewest the limit allows
    std::optional<ChoiceModel> model;
};

int IntegerOption(const std::string& option, const std::string& text, int low, int high, const std::string& what)
{
    bool ok = false;
    const int value = QString::fromStdString(text).toInt(&ok);
    if (!ok || value < low || value > high)
        throw UsageError(what + "必须是 " + std::to_string(low) + " 到 " + std::to_string(high) + " 之间的整数（"
            + option + " “" + text + "”）。");
    return value;
}

// The score bands 一键均衡 keeps even: one of the choices the window offers.
int BandsOption(const std::string& option, const std::string& text)
{
    const int bands = IntegerOption(option, text, 0, 20, "分段数");
    if (std::find(std::begin(RankBandChoices), std::end(RankBandChoices), bands) == std::end(RankBandChoices))
        throw UsageError("分段数只能是 0（不分）、5、10 或 20（" + option + " “" + text + "”）。");
    return bands;
}

// --setup: the first sheet of a table file as a 班级设置 (ClassSetupOfRows).
ClassSetup ReadSetupTable(const std::filesystem::path& file)
{
    TableRows rows;
    try {
        rows = ReadTableFile(file);
    } catch (const Failure& failure) {
        throw Failure("不能读入班级设置表“" + PathText(file) + "”：" + failure.what());
    }
    return ClassSetupOfRows(rows);
}

Arguments Parse(int argc, char** argv)
{
    Arguments arguments;
    arguments.command = argv[1];
    int k = 2;
    const auto value = [&](const std::string& option) {
        if (k + 1 >= argc)
            throw UsageError("选项 " + option + " 缺少值。");
        return Local(argv[++k]);
    };
    bool haveInput = false;
    for (; k < argc; ++k) {
        const std::string argument = Local(argv[k]);
        if (argument == "--classes") {
            if (arguments.classesGiven)
                throw UsageError(arguments.options.setup.empty() ? "分班数（--classes）只能给一次。"
                                                                 : "--classes 和 --setup 只能给一个。");
            arguments.options.classCount = IntegerOption(argument, value(argument), 1, MaxClassCount, "分班数");
            arguments.classesGiven = true;
        } else if (argument == "--setup") {
            if (arguments.classesGiven)
                throw UsageError("--classes 和 --setup 只能给一个。");
            value(argument);
            arguments.options.setup = ReadSetupTable(PathOf(argv[k]));
            arguments.options.classCount = arguments.options.setup.classCount();
            arguments.classesGiven = true;
        } else if (argument == "--seed") {
            arguments.seedText = NormalSeedText(value(argument));
            arguments.seedGiven = true;
        } else if (argument == "--bands") {
            arguments.options.bands = BandsOption(argument, value(argument));
            arguments.bandsGiven = true;
        } else if (argument == "--sound-alike") {
            arguments.options.soundAlike = true;
            arguments.soundAlikeGiven = true;
        } else if (argument == "--no-sound-alike") {
            arguments.options.soundAlike = false;
            arguments.soundAlikeGiven = true;
        } else if (argument == "--threads") {
            arguments.threads = IntegerOption(argument, value(argument), 1, 64, "线程数");
        } else if (argument == "--teachers" && arguments.command == "divide") {
            value(argument);
            arguments.teachers = PathOf(argv[k]);
        } else if (argument == "--notice" && arguments.command == "divide") {
            value(argument);
            arguments.notice = PathOf(argv[k]);
        } else if (argument == "--mask-names" && arguments.command == "divide") {
            arguments.noticeOptions.maskNames = true;
        } else if (argument == "--by-name" && arguments.command == "divide") {
            arguments.noticeOptions.order = NoticeOrder::Name;
        } else if (argument == "--out" && arguments.command == "divide") {
            value(argument);
            arguments.out = PathOf(argv[k]);
        } else if (argument == "--by-choice" && arguments.command == "divide") {
            arguments.byChoice = true;
        } else if (argument == "--limit" && arguments.command == "divide") {
            arguments.limit = IntegerOption(argument, value(argument), 1, 1000, "每班人数上限");
            arguments.limitGiven = true;
        } else if (argument == "--rooms" && arguments.command == "divide") {
            arguments.rooms = IntegerOption(argument, value(argument), 1, MaxClassCount, "教室数");
        } else if (argument == "--model" && arguments.command == "divide") {
            const std::string text = value(argument);
            arguments.model = ChoiceModelOfName(text);
            if (!arguments.model)
                throw UsageError("选科模式只能是 3+1+2 或 3+3（--model “" + text + "”）。");
        } else if (argument == "--expect" && arguments.command == "check") {
            arguments.expect = value(argument);
            if (NormalFingerprint(arguments.expect).empty())
                throw UsageError("指纹必须是 64 位十六进制数字，或它的前 16 位：“" + arguments.expect + "”。");
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
        throw UsageError(arguments.command == "divide" ? "缺少表格文件。" : "缺少要核验的文件。");
    const bool divisionFile = Suffix(arguments.input) == "." + std::string(DivisionFileSuffix);
    if (arguments.command == "divide") {
        if (!arguments.notice
            && (arguments.noticeOptions.maskNames || arguments.noticeOptions.order == NoticeOrder::Name))
            throw UsageError("--mask-names 和 --by-name 只用于公示名单，需同时给出 --notice。");
        if (arguments.byChoice && arguments.classesGiven && arguments.options.setup.empty())
            throw UsageError("选科分班（--by-choice）的班数由方案决定，不能再给 --classes（可用 --rooms）。");
        if (arguments.byChoice && arguments.teachers)
            throw UsageError("选科分班（--by-choice）不抽班主任（--teachers）。");
        if (!arguments.byChoice && (arguments.rooms != 0 || arguments.model || arguments.limitGiven))
            throw UsageError("--limit、--rooms 和 --model 只用于选科分班，需同时给出 --by-choice。");
        if (!arguments.classesGiven && !arguments.byChoice)
            throw UsageError("缺少分班数（--classes）。");
        if (!arguments.out)
            throw UsageError("缺少输出文件（--out）。");
        const std::string suffix = Suffix(*arguments.out);
        if (suffix != ".xlsx" && suffix != ".pdf" && suffix != ".csv"
            && suffix != "." + std::string(DivisionFileSuffix))
            throw UsageError("输出文件必须是 .xlsx、.pdf、.fenban 或 .csv：“" + PathText(*arguments.out) + "”。");
        if (arguments.notice && Suffix(*arguments.notice) != ".pdf" && Suffix(*arguments.notice) != ".xlsx")
            throw UsageError("公示名单必须是 .pdf 或 .xlsx：“" + PathText(*arguments.notice) + "”。");
        if (arguments.notice
            && std::filesystem::absolute(*arguments.notice) == std::filesystem::absolute(*arguments.out))
            throw UsageError("公示名单和输出文件不能是同一个文件。");
    } else if (divisionFile) {
        if (arguments.classesGiven || arguments.seedGiven || arguments.bandsGiven || arguments.soundAlikeGiven
            || !arguments.expect.empty())
            throw UsageError("核验分班文件时，分班数、种子、选项和指纹都取自文件，不能另给。");
    } else {
        if (!arguments.classesGiven)
            throw UsageError("缺少分班数（--classes）。");
        if (arguments.expect.empty())
            throw UsageError("核验表格文件需要期望的结果指纹（--expect）。");
    }
    return arguments;
}

// The control of a run: the seed, the threads and progress on stderr every tenth.
OptimiseControl Control(const Arguments& arguments)
{
    OptimiseControl control;
    control.seed = SeedOfText(arguments.seedText);
    control.threads = arguments.threads;
    auto told = std::make_shared<int>(0);
    control.progress = [told](double fraction) {
        const int tenth = static_cast<int>(fraction * 10);
        if (tenth > *told) {
            *told = tenth;
            Tell("一键均衡 " + std::to_string(tenth * 10) + "%");
        }
    };
    return control;
}

// Reads a table file's roster by `read`, a cell that does not convert named with the file.
template <class Read> void ReadTableRoster(const std::filesystem::path& file, const ImportedTable& opened, Read&& read)
{
    try {
        std::forward<Read>(read)();
    } catch (const OutOfRangeError&) {
        throw Failure("不能分班：表格“" + PathText(file) + "”"
            + LargestScoreText(opened.rows, opened.rowNumbers, DecimalSeparator()) + "超出范围，算不出平均分。");
    } catch (const ConversionError& problem) {
        if (const std::string cell = UnreadableCellText(opened.rows, opened.rowNumbers, DecimalSeparator());
            !cell.empty())
            throw Failure("不能读入表格“" + PathText(file) + "”：" + cell + "。");
        // The roster's message quotes the cell: 'abc' is not a valid … value.
        const std::string what = problem.what();
        const std::size_t open = what.find('\'');
        const std::size_t close = what.rfind('\'');
        const std::string cell = open < close ? what.substr(open + 1, close - open - 1) : what;
        const bool integer = what.find("integer") != std::string::npos;
        throw Failure("不能读入表格“" + PathText(file) + "”：" + (integer ? "班级一列的" : "分数") + "“" + cell
            + "”不是" + (integer ? "整数" : "数字") + "。");
    }
}

std::vector<std::string> ReadTeachers(const std::filesystem::path& file)
{
    QFile in(QString::fromStdU16String(file.u16string()));
    if (!in.open(QIODevice::ReadOnly))
        throw Failure("不能打开班主任名单“" + PathText(file) + "”。");
    const QByteArray bytes = in.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) // a list saved as GB18030
        return ParseTeacherList(Gb18030ToUtf8(bytes.toStdString()));
    return ParseTeacherList(text.toStdString());
}

// The table as read, its class column (the third) holding each student's class.
void WriteCsv(const std::filesystem::path& file, TableRows table, const std::vector<int>& classes)
{
    std::string text = "\xEF\xBB\xBF"; // UTF-8, as spreadsheets recognise it
    for (std::size_t r = 0; r < table.size(); ++r) {
        std::vector<std::string>& row = table[r];
        if (r >= 1 && r - 1 < classes.size()) {
            if (row.size() < ClassColumn)
                row.resize(ClassColumn);
            row[ClassColumn - 1] = std::to_string(classes[r - 1]);
        }
        for (std::size_t c = 0; c < row.size(); ++c)
            text += (c > 0 ? "," : "") + CsvField(row[c]);
        text += "\r\n";
    }
    SaveFileSafely(*DiskFileSystem(), file, [&text](ByteSink& out) {
        out.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    });
}

// The table as read with its extra columns (选科…) after its own, and the
// home class's name last: 选科分班's .csv.
TableRows WithExtrasAndNames(
    TableRows table, const RosterExtraTexts& extras, const DivisionState& state, const PlanDivision& plan)
{
    const std::size_t width = table.empty() ? 0 : table.front().size();
    for (std::size_t r = 0; r < table.size(); ++r) {
        std::vector<std::string>& row = table[r];
        row.resize(width);
        if (r == 0) {
            row.insert(row.end(), extras.headers.begin(), extras.headers.end());
            row.push_back("班名");
            continue;
        }
        for (std::size_t c = 0; c < extras.headers.size(); ++c)
            row.emplace_back(extras.text(r - 1, c));
        const int home = r - 1 < state.Records.size() ? state.Records[r - 1]->ClassNo : 0;
        row.push_back(home > 0 ? plan.classNames[static_cast<std::size_t>(home - 1)] : std::string());
    }
    return table;
}

// The posting lists beside the division just written (--notice; all or
// nothing), then the fingerprints on standard output.
int PostAndPrint(const Arguments& arguments, const Division& division, const std::vector<std::string>& teachers,
    const ClassSetup& names)
{
    if (arguments.notice) {
        NoticeOptions posted = arguments.noticeOptions;
        posted.resultFingerprint = division.resultFingerprint();
        posted.seedText = arguments.seedText;
        posted.date = QDate::currentDate();
        posted.extraColumns = DefaultPostedColumns(division.state().ExtraTexts);
        const std::vector<OutputTable> notice = NoticeTables(division.state(), teachers, posted, names);
        try {
            if (Suffix(*arguments.notice) == ".pdf")
                WriteNoticePdf(*DiskFileSystem(), *arguments.notice, notice, posted);
            else
                WriteNoticeWorkbook(*DiskFileSystem(), *arguments.notice, notice, posted);
        } catch (...) {
            DiskFileSystem()->remove(*arguments.out); // all or nothing
            throw;
        }
    }
    Print(division.inputFingerprint());
    Print(division.resultFingerprint());
    return ExitMatch;
}

int Divide(const Arguments& arguments)
{
    std::vector<std::string> teachers;
    if (arguments.teachers)
        teachers = ReadTeachers(*arguments.teachers);
    const ProposedImport imported = ReadLikeOpen(arguments.input);
    const TableRows& table = imported.table.rows;
    // The window's steps: 打开 and 公开分班.
    Workbench work;
    work.start(CellGrid(RosterColumns, 2), nullptr, false);
    ReadTableRoster(arguments.input, imported.table, [&] {
        DivideTableInPublic(work, imported, FileNameText(arguments.input), DecimalSeparator(), arguments.options,
            arguments.seedText, std::move(teachers), Control(arguments));
    });
    const Division& division = work.division();
    // What the window's read summary warns of (an odd gender, empty rows…), with the rows.
    if (const RosterSummary summary
        = SummarizeRoster(TableGrid(table), division.state().Records, arguments.options.classCount);
        !summary.warnings.empty())
        Tell(SummaryWarningText(summary) + "\n" + SummaryWarningDetails(summary));
    const DivisionState& state = division.state();
    Tell("读入 " + std::to_string(state.Records.size()) + " 人，分 " + std::to_string(division.classCount())
        + " 个班；种子 " + arguments.seedText);

    const std::string suffix = Suffix(*arguments.out);
    if (suffix == ".csv") {
        WriteCsv(*arguments.out, table, ClassesOfRecords(state));
    } else if (suffix == "." + std::string(DivisionFileSuffix)) {
        // Opened in the window, it shows the whole roster's listing.
        Snapshot listed = division.capture();
        listed.tableShown = false;
        WriteDivisionFile(*DiskFileSystem(), *arguments.out, DivisionJson(listed, WorkFileMembers(division)));
    } else if (suffix == ".xlsx") {
        WriteWorkbook(*DiskFileSystem(), *arguments.out, WorkbookOutput(division));
    } else {
        // The balance report without its pictures: those are drawn with widgets.
        TablePictures pictures;
        const std::vector<OutputTable> printed = PrintedOutput(division, {}, pictures);
        WriteTablesPdf(*DiskFileSystem(), *arguments.out, printed, pictures);
    }
    return PostAndPrint(arguments, division, division.publicState().teachers, division.names());
}

// `fenban divide --by-choice`: the window's steps 打开, 选科方案 and 选科分班.
int DivideByChoice(const Arguments& arguments)
{
    const ProposedImport imported = ReadLikeOpen(arguments.input);
    Workbench work;
    work.start(CellGrid(RosterColumns, 2), nullptr, false);
    ReadTableRoster(arguments.input, imported.table, [&] {
        work.openTable(TableGrid(imported.table.rows), DecimalSeparator(), imported.table.extras,
            FileNameText(arguments.input), imported.taken);
    });
    if (!work.division().hasRoster())
        throw Failure("不能读入表格“" + PathText(arguments.input) + "”。");
    work.setSoundAlike(arguments.options.soundAlike);
    work.setRankBands(arguments.options.bands);
    if (!arguments.options.setup.empty())
        work.setClassSetup(arguments.options.setup); // lends the home classes its names in plan order
    const StudentChoices choices = work.readChoices(arguments.model, imported.table.rowNumbers);
    if (const std::string invalid = InvalidChoicesMessage(choices, choices.invalid.size()); !invalid.empty())
        Tell(invalid);
    const ChoicePlan plan
        = MakeChoicePlan(PlanRequest {choices.model, CountCombinations(choices), arguments.limit, arguments.rooms});
    Tell("选科方案：" + PlanRecordText(plan));
    if (!plan.note.empty())
        Tell(plan.note);
    work.acceptChoicePlan(plan, {});
    const ChoiceDivisionRequest request = work.prepareChoiceDivision(choices, plan, arguments.seedText);
    DividedByChoice divided = RunChoiceDivision(request, Control(arguments));
    work.finishChoiceDivision(request, std::move(divided.state), std::move(divided.division));
    const Division& division = work.division();
    const DivisionState& state = division.state();
    Tell("读入 " + std::to_string(state.Records.size()) + " 人，选科分班 " + std::to_string(division.classCount())
        + " 个班；种子 " + arguments.seedText);

    const std::string suffix = Suffix(*arguments.out);
    if (suffix == ".csv") {
        WriteCsv(*arguments.out,
            WithExtrasAndNames(imported.table.rows, state.ExtraTexts, state, *division.choiceDivision()),
            ClassesOfRecords(state));
    } else if (suffix == "." + std::string(DivisionFileSuffix)) {
        Snapshot listed = division.capture();
        listed.tableShown = false;
        WriteDivisionFile(*DiskFileSystem(), *arguments.out, DivisionJson(listed, WorkFileMembers(division)));
    } else if (suffix == ".xlsx") {
        WriteWorkbook(*DiskFileSystem(), *arguments.out, ChoiceWorkbookTables(MakeChoiceTables(division)));
    } else {
        WriteTablesPdf(*DiskFileSystem(), *arguments.out, ChoicePrintedTables(MakeChoiceTables(division)));
    }
    return PostAndPrint(arguments, division, {}, {});
}

int Report(const DivisionCheck& check)
{
    Print(check.redone);
    if (check.after != nullptr && check.changeFailure.empty())
        Tell("按记录重演了 " + std::to_string(check.replayed) + " 条变更。");
    if (check.matches()) {
        Tell("核验一致：结果指纹 " + check.redone);
        return ExitMatch;
    }
    if (!check.changeFailure.empty()) {
        Tell("核验不一致：" + check.changeFailure + "。");
        return ExitNoMatch;
    }
    Tell("核验不一致：重做的结果指纹 " + check.redone + "，期望 " + check.expected + "。");
    if (!check.differences.empty())
        Tell(DifferenceSummary(check) + "。");
    for (const std::string& line : check.differences)
        Tell("  " + line);
    return ExitNoMatch;
}

int CheckTable(const Arguments& arguments)
{
    const ProposedImport imported = ReadLikeOpen(arguments.input);
    DivisionState state;
    ReadTableRoster(
        arguments.input, imported.table, [&] { ReadRoster(imported.table.rows, DecimalSeparator(), state); });
    state.ExtraTexts = imported.table.extras; // a set-up's conditions may read them
    CheckClassCount(state, arguments.options.classCount);
    if (!arguments.options.setup.empty())
        PlanSetup(state, arguments.options.setup); // sizes that do not hold the grade stop it before the run
    DivisionCheck check;
    check.options = arguments.options;
    check.seedText = arguments.seedText;
    check.expected = NormalFingerprint(arguments.expect);
    check.inputFingerprint = InputFingerprint(state, check.options);
    Print(check.inputFingerprint);
    ReadTableRoster(arguments.input, imported.table, [&] { RedoDivision(state, check, Control(arguments)); });
    return Report(check);
}

int CheckDivisionFile(const Arguments& arguments)
{
    DivisionState recorded;
    DivisionState redone;
    DivisionCheck check = ReadDivisionFileCheck(arguments.input, recorded, redone);
    if (!check.otherVersion.empty())
        Tell(check.otherVersion); // before it compares

    const std::optional<PlanDivision> plan = ReadChoiceCheck(arguments.input, recorded, redone, check);
    Tell("分班文件：" + std::to_string(recorded.Records.size()) + " 人，" + (plan ? "选科分班 " : "分 ")
        + std::to_string(check.options.classCount) + " 个班；种子 " + check.seedText);
    Print(check.inputFingerprint);
    if (plan)
        RedoChoiceDivision(redone, check, *plan, Control(arguments), &recorded);
    else
        RedoDivision(redone, check, Control(arguments), &recorded);
    return Report(check);
}

bool IsCommand(const std::string& word)
{
    return word == "divide" || word == "check" || word == "change" || word == "--help" || word == "-h" || word == "help"
        || word == "--version";
}

int Run(int argc, char** argv)
{
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(HelpText, stdout);
        return ExitMatch;
    }
    if (command == "--version") {
        std::printf("fenban %s\n", ProgramVersion());
        return ExitMatch;
    }
    if (command == "change")
        return RunChange(argc, argv);
    const Arguments arguments = Parse(argc, argv);
    if (arguments.command == "divide")
        return arguments.byChoice ? DivideByChoice(arguments) : Divide(arguments);
    if (Suffix(arguments.input) == "." + std::string(DivisionFileSuffix))
        return CheckDivisionFile(arguments);
    return CheckTable(arguments);
}

} // namespace

int RunCommandLine(int argc, char** argv)
{
    if (argc < 2)
        return -1;
    if (!IsCommand(argv[1])) {
        // A file to open in the window, or Qt's own options; a mistyped command ends here.
        const std::string_view word = argv[1];
        std::error_code missing;
        if (word.starts_with("-") || std::filesystem::exists(PathOf(argv[1]), missing))
            return -1;
        Tell("fenban：“" + Local(argv[1])
            + "”既不是命令（divide、check、change），也不是存在的文件。运行 fenban --help 查看用法。");
        return ExitError;
    }
    // PDF pages are painted with fonts, which need a GUI application; offscreen, no window.
    bool paints = false;
    for (int k = 2; k + 1 < argc; ++k)
        paints = paints
            || ((std::string_view(argv[k]) == "--out" || std::string_view(argv[k]) == "--notice")
                && Suffix(PathOf(argv[k + 1])) == ".pdf");
    std::unique_ptr<QCoreApplication> application;
    if (paints) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    try {
        return Run(argc, argv);
    } catch (const UsageError& problem) {
        Tell(std::string("fenban：") + problem.what() + "运行 fenban --help 查看用法。");
    } catch (const std::exception& problem) {
        Tell(std::string("fenban：") + problem.what());
    }
    return ExitError;
}

} // namespace fenban
