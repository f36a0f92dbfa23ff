// Damaged and hostile table files opened in the window: one warning naming
// the file, and the divided grade on screen as it was.
#include "GradeText.h"
#include "HostileFiles.h"
#include "WindowDriver.h"

#include <QTemporaryDir>
#include <fstream>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

// Every cell of the roster grid and of the averages grid, and the class count.
QStringList Screen(const WindowDriver& w)
{
    QStringList cells {QString::number(w.control<QSpinBox>("SpinEdit1")->value())};
    for (const char* grid : {"StrGrid", "gdAvg"}) {
        for (int r = 0; r < w.rows(grid); ++r)
            cells << w.row(grid, r, 0, w.cols(grid) - 1).join(u'|');
    }
    return cells;
}

} // namespace

class HostileInWindow : public QObject {
    Q_OBJECT

private slots:
    void refusedAndNothingChanges_data()
    {
        QTest::addColumn<std::string>("name");
        for (const char* name : {"format-only.xls", "sst-skip.xls", "fat-loop.xls", "row-max.xlsx", "spaces-1gib.xlsx",
                 "declared-1gib.xlsx", "65533-sheets.xlsx", "commas.csv", "+oversized.csv"})
            QTest::newRow(name) << std::string(name);
    }
    void refusedAndNothingChanges()
    {
        QFETCH(std::string, name);
        QTemporaryDir folder;
        const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / name;
        if (name == "+oversized.csv") {
            MakeOversizedFile(path);
        } else {
            const HostileFile hostile = HostileFileNamed(name);
            QVERIFY(hostile.refused.has_value());
            std::ofstream(path, std::ios::binary).write(hostile.bytes.data(), std::streamsize(hostile.bytes.size()));
        }
        WindowDriver w;
        QVERIFY(w.paste(GradeText(60, Points::Half)).isEmpty());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        QVERIFY(w.click("BitBtn2").isEmpty());
        const QStringList before = Screen(w);

        const QString file = QString::fromStdString(path.string());
        w.dialogs.answerQuestion(QMessageBox::Discard); // the unsaved division, asked about first
        QList<SeenBox> boxes = w.trigger("actOpen", file);
        QCOMPARE(boxes.size(), 2);
        boxes.removeFirst();
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QVERIFY2(boxes[0].text.startsWith(u"不能打开文件“"_s + file + u"”："_s), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.endsWith(u"。"_s));
        QCOMPARE(Screen(w), before);
    }
};

QTEST_MAIN(HostileInWindow)
#include "tst_hostile.moc"
