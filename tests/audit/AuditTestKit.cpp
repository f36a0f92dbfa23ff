#include "AuditTestKit.h"

#include "OutputReaders.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

namespace fenban::audittest {

const std::vector<std::string> LongNames {"迪丽热巴·热依扎", "巴特尔·努尔", "巴特尔·努尔", "欧阳娜娜娜娜"};

TableRows Grade(int students)
{
    TableRows table {{"姓名", "性别", "班级", "总分", "语文", "数学", "同班", "均衡生源"}};
    const char* const scores[] = {"87.5", "0.1", "93.25", "1e-7", "1234567.125", "99.99", "60", "  72.5 "};
    for (int k = 0; k < students; ++k) {
        const std::string name = k < static_cast<int>(LongNames.size()) ? LongNames[static_cast<std::size_t>(k)]
                                                                        : "学生" + std::to_string(k + 1);
        const bool boy = k == 1 || (k > 3 && k % 2 == 0);
        const std::string a = scores[k % 8];
        const std::string b = std::to_string(40 + (k * 37) % 60) + (k % 3 == 0 ? ".5" : "");
        table.push_back({name, boy ? "男" : "女", "", std::to_string(500 + k), a, b, k == 5 || k == 9 ? "双胞胎1" : "",
            k % 3 == 0       ? "一中"
                : k % 3 == 1 ? "二中"
                             : "三中"});
    }
    return table;
}

CliRun RunProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    CliRun run;
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.code = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString WriteTsv(const TableRows& table, const QString& file)
{
    QByteArray bytes;
    for (const auto& row : table) {
        for (std::size_t c = 0; c < row.size(); ++c)
            bytes += (c > 0 ? "\t" : "") + QByteArray::fromStdString(row[c]);
        bytes += "\r\n";
    }
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return file;
}

QStringList TextsOf(const QJsonArray& sheets)
{
    QStringList texts;
    for (const QJsonValue sheet : sheets) {
        for (const QJsonValue row : sheet[QStringLiteral("rows")].toArray()) {
            for (const QJsonValue cell : row.toArray()) {
                if (cell[QStringLiteral("type")].toString() == QStringLiteral("str"))
                    texts << cell[QStringLiteral("value")].toString();
            }
        }
    }
    return texts;
}

QJsonObject Recompute(const TableRows& table, const DivisionOptions& options, const std::vector<int>& classes,
    const std::vector<std::string>& teachers, const std::string& seed)
{
    QJsonArray rows;
    for (const auto& row : table) {
        QJsonArray cells;
        for (const std::string& cell : row)
            cells.append(QString::fromStdString(cell));
        rows.append(cells);
    }
    QJsonArray result;
    for (const int k : classes)
        result.append(k);
    QJsonArray names;
    for (const std::string& teacher : teachers)
        names.append(QString::fromStdString(teacher));
    const QJsonObject job {{QStringLiteral("table"), rows}, {QStringLiteral("classes"), options.classCount},
        {QStringLiteral("soundAlike"), options.soundAlike}, {QStringLiteral("bands"), options.bands},
        {QStringLiteral("result"), result}, {QStringLiteral("teachers"), names},
        {QStringLiteral("seed"), QString::fromStdString(seed)}};
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("job.json"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(QJsonDocument(job).toJson());
    out.close();
    const QString python = testkit::PythonWithModule(QStringLiteral("hashlib"));
    return QJsonDocument::fromJson(testkit::RunReader(python, {QStringLiteral(RECOMPUTE_SCRIPT), file})).object();
}

} // namespace fenban::audittest
