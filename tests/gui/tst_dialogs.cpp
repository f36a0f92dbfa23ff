// The dialog seam: without scripted dialogs the window opens the real modal
// QMessageBox and QFileDialog; scripted dialogs record and answer them.
#include "GradeText.h"
#include "ScriptedDialogs.h"
#include "WindowDriver.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "common/Failure.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

// Answers the first real dialog of type T as it is shown: `look` sees it
// before anything is pressed, `answer` runs once its modal loop runs. No
// timer: the show event comes from exec() itself.
template <class T> class AnswerOnShow final : public QObject {
public:
    AnswerOnShow(std::function<void(T*)> look, std::function<void(T*)> answer)
        : look_(std::move(look))
        , answer_(std::move(answer))
    {
        qApp->installEventFilter(this);
    }
    ~AnswerOnShow() override { qApp->removeEventFilter(this); }
    int shown = 0;
    bool allModal = true; // application modal, as exec() makes them

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* dialog = qobject_cast<T*>(object);
        if (event->type() != QEvent::Show || dialog == nullptr || !dialog->isWindow())
            return false;
        allModal = allModal && dialog->isModal() && dialog->windowModality() == Qt::ApplicationModal;
        if (++shown == 1) {
            look_(dialog);
            QMetaObject::invokeMethod(
                dialog, [this, dialog] { answer_(dialog); }, Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(
                dialog, [dialog] { dialog->reject(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void(T*)> look_;
    std::function<void(T*)> answer_;
};

struct BoxLook {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

BoxLook Look(QMessageBox* box)
{
    BoxLook look {box->windowTitle(), box->text(), box->icon(), {}};
    for (QAbstractButton* button : box->buttons())
        look.buttons << button->text();
    return look;
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void windowOpensRealModalBoxes()
    {
        TForm1 window;
        window.show();
        BoxLook seen;
        const AnswerOnShow<QMessageBox> answer(
            [&](QMessageBox* box) { seen = Look(box); }, [](QMessageBox* box) { box->done(QMessageBox::Ok); });
        FindControl<QPushButton>(window, "Button4")->click(); // 调整 before any division
        QCOMPARE(answer.shown, 1);
        QVERIFY(answer.allModal);
        QCOMPARE(seen.title, QStringLiteral("均衡分班"));
        QCOMPARE(seen.text, QStringLiteral("请先编班。"));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.buttons.size(), 1);
    }

    void guardShowsTheRealErrorBox()
    {
        QWidget parent;
        BoxLook seen;
        const AnswerOnShow<QMessageBox> answer(
            [&](QMessageBox* box) {
                seen = Look(box);
                QCOMPARE(box->parentWidget(), &parent);
            },
            [](QMessageBox* box) { box->done(QMessageBox::Ok); });
        RunGuarded(&parent, [] { throw Failure("不能读入"); });
        QCOMPARE(answer.shown, 1);
        QVERIFY(answer.allModal);
        QCOMPARE(seen.title, QStringLiteral("均衡分班"));
        QCOMPARE(seen.text, QStringLiteral("不能读入."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
    }

    void exportOpensTheRealSaveDialog()
    {
        QTemporaryDir folder;
        TForm1 window;
        window.show();
        Paste(window, SixStudents());
        QFileDialog* looked = nullptr;
        const AnswerOnShow<QFileDialog> answer(
            [&](QFileDialog* dialog) {
                looked = dialog;
                QCOMPARE(dialog->windowTitle(), QStringLiteral("导出EXCEL的文件"));
                QCOMPARE(dialog->objectName(), QStringLiteral("SaveDialog1"));
                QCOMPARE(dialog->nameFilters(), QStringList {QStringLiteral("EXCEL文件(*.xls)")});
                QCOMPARE(dialog->defaultSuffix(), QStringLiteral("xls"));
                QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
                QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
                QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
                QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
                QCOMPARE(dialog->parentWidget(), &window);
            },
            [&](QFileDialog* dialog) {
                dialog->selectFile(folder.filePath(QStringLiteral("一班")));
                static_cast<QDialog*>(dialog)->accept();
            });
        FindControl<QPushButton>(window, "Button1")->click();
        QCOMPARE(answer.shown, 1);
        QVERIFY(answer.allModal);
        QVERIFY(looked != nullptr);
        // The real dialog adds the default suffix, as the scripted one does.
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("一班.xls"))));
    }

    void realQuestionAndOpenDialog()
    {
        Question question;
        question.icon = QMessageBox::Warning;
        question.title = QStringLiteral("均衡分班");
        question.text = QStringLiteral("分班结果还没有保存。");
        question.buttons = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
        question.buttonTexts = {{QMessageBox::Save, QStringLiteral("保存")},
            {QMessageBox::Discard, QStringLiteral("不保存")}, {QMessageBox::Cancel, QStringLiteral("取消")}};
        question.defaultButton = QMessageBox::Save;
        question.escapeButton = QMessageBox::Cancel;
        {
            BoxLook seen;
            const AnswerOnShow<QMessageBox> answer(
                [&](QMessageBox* box) {
                    seen = Look(box);
                    QCOMPARE(box->defaultButton(), box->button(QMessageBox::Save));
                },
                [](QMessageBox* box) { box->button(QMessageBox::Discard)->click(); });
            QCOMPARE(CurrentDialogs().ask(nullptr, question), QMessageBox::Discard);
            QCOMPARE(seen.icon, QMessageBox::Warning);
            QCOMPARE(seen.text, question.text);
            seen.buttons.sort();
            QStringList expected {QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")};
            expected.sort();
            QCOMPARE(seen.buttons, expected);
        }
        {
            const AnswerOnShow<QMessageBox> answer(
                [](QMessageBox*) {}, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
            QCOMPARE(CurrentDialogs().ask(nullptr, question), QMessageBox::Cancel);
        }

        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("年级.txt"));
        QFile(file).open(QIODevice::WriteOnly);
        FileRequest request {QStringLiteral("打开"), QStringLiteral("文本文件(*.txt)"), QStringLiteral("txt"),
            QStringLiteral("OpenDialog1"), folder.path()};
        const AnswerOnShow<QFileDialog> answer(
            [](QFileDialog* dialog) {
                QCOMPARE(dialog->objectName(), QStringLiteral("OpenDialog1"));
                QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
                QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
                QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
            },
            [&](QFileDialog* dialog) {
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept();
            });
        QCOMPARE(CurrentDialogs().openFileName(nullptr, request), file);
    }

    void scriptedDialogsNestAndRestore()
    {
        Dialogs* const real = &CurrentDialogs();
        {
            ScriptedDialogs outer;
            QCOMPARE(&CurrentDialogs(), &outer);
            {
                ScriptedDialogs inner;
                QCOMPARE(&CurrentDialogs(), &inner);
                ShowFailure(nullptr, QStringLiteral("x"));
                QCOMPARE(inner.boxes().size(), 1);
                QCOMPARE(inner.boxes()[0].text, QStringLiteral("x."));
                QCOMPARE(inner.boxes()[0].icon, QMessageBox::Critical);
            }
            QCOMPARE(&CurrentDialogs(), &outer);
            QVERIFY(outer.boxes().isEmpty());
        }
        QCOMPARE(&CurrentDialogs(), real);
    }

    void scriptedWindowBoxesAndFiles()
    {
        WindowDriver w;
        QList<SeenBox> boxes = w.click("Button4");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("请先编班。"));
        QCOMPARE(boxes[0].answer, QMessageBox::Ok);
        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(w.dialogs.boxes().size(), 1); // the whole history stays
        QCOMPARE(w.dialogs.takeBoxes().size(), 1);
        QVERIFY(w.dialogs.boxes().isEmpty());
        QCOMPARE(w.dialogs.pendingAnswers(), 0);
    }

    void scriptedFileAnswers_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("returned");
        QTest::newRow("save adds the suffix") << true << "xls"
                                              << "/tmp/一班"
                                              << "/tmp/一班.xls";
        QTest::newRow("a dot keeps the name") << true << "xls"
                                              << "/tmp/a.b"
                                              << "/tmp/a.b";
        QTest::newRow("a dot in the folder only") << true << "xls"
                                                  << "/tmp/x.d/a"
                                                  << "/tmp/x.d/a.xls";
        QTest::newRow("no suffix to add") << true << ""
                                          << "/tmp/a"
                                          << "/tmp/a";
        QTest::newRow("empty answer cancels") << true << "xls"
                                              << ""
                                              << "";
        QTest::newRow("open adds nothing") << false << "xls"
                                           << "/tmp/a"
                                           << "/tmp/a";
    }
    void scriptedFileAnswers()
    {
        QFETCH(bool, save);
        QFETCH(QString, suffix);
        QFETCH(QString, given);
        QFETCH(QString, returned);
        ScriptedDialogs dialogs;
        FileRequest request;
        request.defaultSuffix = suffix;
        dialogs.answerFile(given);
        QCOMPARE(
            save ? CurrentDialogs().saveFileName(nullptr, request) : CurrentDialogs().openFileName(nullptr, request),
            returned);
        QCOMPARE(dialogs.pendingAnswers(), 0);
        // Nothing queued: cancelled.
        QCOMPARE(CurrentDialogs().saveFileName(nullptr, request), QString());
        QCOMPARE(dialogs.fileRequests().size(), 2);
        QCOMPARE(dialogs.fileRequests()[0].save, save);
        QCOMPARE(dialogs.fileRequests()[0].answer, returned);
    }

    void scriptedQuestionAnswers_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("escape");
        QTest::addColumn<int>("queued");
        QTest::addColumn<int>("answer");
        const int saveDiscardCancel = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
        QTest::newRow("queued answer") << saveDiscardCancel << int(QMessageBox::Cancel) << int(QMessageBox::Discard)
                                       << int(QMessageBox::Discard);
        QTest::newRow("escape button") << saveDiscardCancel << int(QMessageBox::Discard) << 0
                                       << int(QMessageBox::Discard);
        QTest::newRow("cancel offered") << saveDiscardCancel << 0 << 0 << int(QMessageBox::Cancel);
        QTest::newRow("no offered") << int(QMessageBox::Yes | QMessageBox::No) << 0 << 0 << int(QMessageBox::No);
        QTest::newRow("default button") << int(QMessageBox::Ok) << 0 << 0 << int(QMessageBox::Ok);
    }
    void scriptedQuestionAnswers()
    {
        QFETCH(int, buttons);
        QFETCH(int, escape);
        QFETCH(int, queued);
        QFETCH(int, answer);
        ScriptedDialogs dialogs;
        if (queued != 0)
            dialogs.answerQuestion(QMessageBox::StandardButton(queued));
        Question question;
        question.title = QStringLiteral("均衡分班");
        question.text = QStringLiteral("要保存吗？");
        question.buttons = QMessageBox::StandardButtons(buttons);
        question.defaultButton = QMessageBox::Ok;
        question.escapeButton = QMessageBox::StandardButton(escape);
        QCOMPARE(int(CurrentDialogs().ask(nullptr, question)), answer);
        QCOMPARE(dialogs.boxes().size(), 1);
        QCOMPARE(int(dialogs.boxes()[0].answer), answer);
        QCOMPARE(dialogs.boxes()[0].text, question.text);
        QCOMPARE(dialogs.boxes()[0].icon, QMessageBox::Question);
        QCOMPARE(int(dialogs.boxes()[0].buttons), buttons);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
