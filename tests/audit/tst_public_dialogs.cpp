// The dialogs of dividing in public, driven by their controls' objectNames.
#include "app/PublicDialogs.h"
#include "audit/Fingerprint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

using namespace fenban;

template <class T> T* Child(QObject& parent, const char* name)
{
    return parent.findChild<T*>(QLatin1String(name));
}

class PublicDialogs : public QObject {
    Q_OBJECT

private slots:
    void noticeOptionsAsChosen();
    void publicDivisionTakesOnlyAValidSeed();
    void recordListsEveryStep();
};

void PublicDialogs::noticeOptionsAsChosen()
{
    NoticeOptions initial;
    initial.seedText = "42";
    NoticeDialog dialog(nullptr, initial);
    QCOMPARE(dialog.objectName(), QStringLiteral("dlgNotice"));
    QVERIFY(!Child<QCheckBox>(dialog, "chkMaskNames")->isChecked()); // whole names in list order by default
    QCOMPARE(Child<QComboBox>(dialog, "cmbNoticeOrder")->currentIndex(), 0);
    Child<QCheckBox>(dialog, "chkMaskNames")->setChecked(true);
    Child<QComboBox>(dialog, "cmbNoticeOrder")->setCurrentIndex(1);
    Child<QLineEdit>(dialog, "edtNoticeHeading")->setText(QStringLiteral(" 2026级初一分班公示 "));
    Child<QCheckBox>(dialog, "chkSignatures")->setChecked(false);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const NoticeOptions chosen = dialog.options();
    QVERIFY(chosen.maskNames);
    QVERIFY(chosen.order == NoticeOrder::Name);
    QCOMPARE(chosen.heading, std::string("2026级初一分班公示"));
    QVERIFY(!chosen.signatures);
    QCOMPARE(chosen.seedText, std::string("42"));
}

void PublicDialogs::publicDivisionTakesOnlyAValidSeed()
{
    // The fingerprint read out follows every parameter that enters it.
    const auto fingerprintOf = [](const DivisionOptions& o) {
        return Sha256Hex("grade" + std::to_string(o.classCount) + (o.soundAlike ? "+" : "-") + std::to_string(o.bands));
    };
    PublicDivisionDialog dialog(nullptr, {2, true, 10}, fingerprintOf);
    const auto shows = [&](const DivisionOptions& o) {
        return Child<QLabel>(dialog, "lblInputFingerprint")->text().contains(QString::fromStdString(fingerprintOf(o)));
    };
    QVERIFY(shows({2, true, 10}));
    Child<QSpinBox>(dialog, "speDivisionClasses")->setValue(3);
    Child<QCheckBox>(dialog, "chkDivisionSoundAlike")->setChecked(false);
    auto* bands = Child<QComboBox>(dialog, "cmbDivisionBands");
    bands->setCurrentIndex(bands->findData(5));
    QVERIFY(shows({3, false, 5}));
    QCOMPARE(dialog.options().classCount, 3);
    Child<QSpinBox>(dialog, "speDivisionClasses")->setValue(2);
    QVERIFY(shows({2, false, 5}));
    Child<QLineEdit>(dialog, "edtSeed")->setText(QStringLiteral("12a"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Child<QLabel>(dialog, "lblSeedProblem")->text(),
        QStringLiteral("种子只能由数字组成（例如掷骰子或开奖号码的数字）。"));
    Child<QLineEdit>(dialog, "edtSeed")->setText(QStringLiteral("3 "));
    Child<QPlainTextEdit>(dialog, "edtTeachers")->setPlainText(QStringLiteral("王芳\n李强\n赵敏"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected)); // three teachers for two classes
    QVERIFY(Child<QLabel>(dialog, "lblSeedProblem")->text().contains(QStringLiteral("每班一位班主任")));
    Child<QPlainTextEdit>(dialog, "edtTeachers")->setPlainText(QStringLiteral("王芳\n\n李强\n"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.seedText(), std::string("3"));
}

void PublicDialogs::recordListsEveryStep()
{
    OperationRecord record;
    record.add(RecordKind::Assign, AssignRecordText(2, Sha256Hex("a")));
    record.add(RecordKind::Move, MoveRecordText("欧阳娜娜娜娜", 1, 2));
    RecordDialog dialog(nullptr, record);
    auto* table = Child<QTableWidget>(dialog, "tblRecord");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("调班"));
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("调班：欧阳娜娜娜娜 从 1 班 调到 2 班"));
    // A long entry reads whole: wrapped in its row, in its tooltip, and in the pane below for the chosen row.
    QVERIFY(table->wordWrap());
    auto* details = Child<QPlainTextEdit>(dialog, "txtRecordEntry");
    QCOMPARE(details->toPlainText(), table->item(1, 2)->text());
    table->setCurrentCell(0, 0);
    QCOMPARE(details->toPlainText(), QString::fromStdString(AssignRecordText(2, Sha256Hex("a"))));
    QCOMPARE(table->item(0, 2)->toolTip(), details->toPlainText());
}

QTEST_MAIN(PublicDialogs)
#include "tst_public_dialogs.moc"
