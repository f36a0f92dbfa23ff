// 导入设置 driven through its controls: the header row found, a column's use
// changed, a choice that cannot be read told in the dialog, the choice
// remembered for the same header, sheets merged or chosen.
#include "views/ImportDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace fenban;
using namespace Qt::StringLiterals;

namespace {

TableRows SchoolTable()
{
    return {{"2026级新生名单"}, {"序号", "姓 名", "性别", "数学", "语文", "备注", "学号"},
        {"1", "张伟", "男", "90", "缺考", "住校", "20260001"}, {"2", "李娜", "女", "85", "88", "", "20260002"},
        {"3", "王芳", "女", "70.5", "91", "", "20260003"}};
}

QComboBox* RoleBox(const ImportDialog& dialog, int column)
{
    return dialog.findChild<QComboBox*>(QStringLiteral("cmbImportRole%1").arg(column));
}

QString Role(const ImportDialog& dialog, int column)
{
    return RoleBox(dialog, column)->currentText();
}

void ChooseRole(const ImportDialog& dialog, int column, const QString& role)
{
    QComboBox* box = RoleBox(dialog, column);
    const int index = box->findText(role);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
}

void ClickOk(ImportDialog& dialog)
{
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnImportOk")), Qt::LeftButton);
}

} // namespace

class TestImportDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Remembered choices go to a folder of the test's own.
        QVERIFY(settingsFolder_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder_.path());
        QSettings(QSettings::UserScope, u"fenban"_s, u"fenban"_s).remove(u"importChoices"_s);
    }

    void choiceIsMadeAndRemembered()
    {
        const std::vector<TableSheet> sheets {{"Sheet1", SchoolTable()}};
        const ImportProposal proposal = ProposeImport(sheets, ".");
        QVERIFY(proposal.askUser);
        ImportDialog dialog(sheets, proposal, ".");
        dialog.show();
        QCOMPARE(dialog.objectName(), QStringLiteral("dlgImport"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("导入设置"));
        QCOMPARE(dialog.findChild<QSpinBox*>(QStringLiteral("speImportHeaderRow"))->value(), 2);
        const auto* preview = dialog.findChild<QTableWidget*>(QStringLiteral("grdImportPreview"));
        QCOMPARE(preview->item(1, 0)->text(), QStringLiteral("2026级新生名单"));
        QVERIFY(preview->item(2, 1)->font().bold()); // the header row
        const QStringList proposed {QStringLiteral("附加"), QStringLiteral("姓名"), QStringLiteral("性别"),
            QStringLiteral("科目"), QStringLiteral("科目"), QStringLiteral("附加"), QStringLiteral("附加")};
        for (int c = 0; c < proposed.size(); ++c)
            QCOMPARE(Role(dialog, c), proposed[c]);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("lblImportDoubts"))->text().contains(QStringLiteral("总分")));

        // Without a name column the dialog says so and stays.
        ChooseRole(dialog, 1, QStringLiteral("不用"));
        ClickOk(dialog);
        const auto* error = dialog.findChild<QLabel*>(QStringLiteral("lblImportError"));
        QVERIFY(error->isVisible());
        QCOMPARE(error->text(), QStringLiteral("没有一列当作“姓名”。"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        ChooseRole(dialog, 1, QStringLiteral("姓名"));
        ChooseRole(dialog, 0, QStringLiteral("不用")); // 序号 is not wanted
        ClickOk(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const ImportedTable& table = dialog.table();
        QVERIFY(table.extras.headers == (std::vector<std::string> {"备注", "学号"}));
        QCOMPARE(table.rows.size(), std::size_t(4));
        QVERIFY(table.rows[1] == (std::vector<std::string> {"张伟", "男", "", "90", "90"}));
        QVERIFY(table.warnings.back() == "第 3 行 语文：缺考");

        // The next file with this header opens with the same choice.
        TableRows other = SchoolTable();
        other.erase(other.begin());
        other.push_back({"4", "赵六", "男", "60", "60", "", "20260004"});
        const std::vector<TableSheet> next {{"名单", other}};
        ImportDialog again(next, ProposeImport(next, "."), ".");
        QCOMPARE(Role(again, 0), QStringLiteral("不用"));
        QVERIFY(again.findChild<QLabel*>(QStringLiteral("lblImportDoubts"))->text().contains(QStringLiteral("上次")));
        ClickOk(again);
        QCOMPARE(again.result(), int(QDialog::Accepted));
        QCOMPARE(again.table().rows.size(), std::size_t(5));
        QCOMPARE(ImportDialog::HeaderKey({"序号", "姓名"}).size(), 40);
        QVERIFY(ImportDialog::HeaderKey({"序号", "姓名"}) != ImportDialog::HeaderKey({"姓名", "序号"}));
    }

    void sheetsAreMergedOrChosen()
    {
        TableRows first = SchoolTable();
        first[1][1] = "姓名"; // the same header words as "姓 名": the remembered choice
        TableRows second = first;
        second[0][0] = "原2班";
        second[2][1] = "钱七";
        const std::vector<TableSheet> sheets {{"1班", first}, {"空", {}}, {"2班", second}};
        const ImportProposal proposal = ProposeImport(sheets, ".");
        ImportDialog dialog(sheets, proposal, ".");
        auto* sheet = dialog.findChild<QComboBox*>(QStringLiteral("cmbImportSheet"));
        QCOMPARE(sheet->count(), 4);
        QCOMPARE(sheet->currentText(), QStringLiteral("合并所有工作表"));
        ClickOk(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.table().rows.size(), std::size_t(7));
        QCOMPARE(dialog.table().rows[4][0], std::string("钱七"));

        // One sheet: its header row is found again and only its rows are read.
        ImportDialog one(sheets, proposal, ".");
        auto* choice = one.findChild<QComboBox*>(QStringLiteral("cmbImportSheet"));
        choice->setCurrentIndex(choice->findText(QStringLiteral("2班")));
        QCOMPARE(one.choice().sheet, 2);
        QCOMPARE(one.findChild<QTableWidget*>(QStringLiteral("grdImportPreview"))->item(1, 0)->text(),
            QStringLiteral("原2班"));
        QCOMPARE(Role(one, 1), QStringLiteral("姓名"));
        ClickOk(one);
        QCOMPARE(one.result(), int(QDialog::Accepted));
        QCOMPARE(one.table().rows.size(), std::size_t(4));
        QCOMPARE(one.table().rows[1][0], std::string("钱七"));

        // Another header row: the roles follow it.
        auto* headerRow = one.findChild<QSpinBox*>(QStringLiteral("speImportHeaderRow"));
        headerRow->setValue(1);
        QCOMPARE(one.choice().headerRow, 0);
        QCOMPARE(Role(one, 1), QStringLiteral("不用"));
    }

private:
    QTemporaryDir settingsFolder_;
};

QTEST_MAIN(TestImportDialog)
#include "tst_importdialog.moc"
