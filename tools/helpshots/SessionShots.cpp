#include "SessionShots.h"

#include "SampleSession.h"
#include "Screens.h"
#include "app/Dialogs.h"
#include "app/SessionActions.h"
#include "app/Unit1.h"
#include "session/DivisionFile.h"
#include "session/RecoveryFile.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace fenban::shots {

namespace {

bool Grab(const QString& dir, const char* name)
{
    QScreen* const screen = QGuiApplication::primaryScreen();
    const QString file = QDir(dir).filePath(QStringLiteral("%1x%2-%3.png")
                                                .arg(screen->size().width())
                                                .arg(screen->size().height())
                                                .arg(QLatin1String(name)));
    if (!screen->grabWindow(0).save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// Runs `open` with the real modal dialogs; the screen is grabbed once the
// dialog has settled, then the dialog is closed.
bool GrabModal(const QString& dir, const char* name, const std::function<void()>& open)
{
    Dialogs* const scripted = InstallDialogs(nullptr);
    bool grabbed = false;
    QTimer::singleShot(1500, qApp, [&] {
        grabbed = Grab(dir, name);
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    open();
    InstallDialogs(scripted);
    return grabbed;
}

// The sample grade with what the status bar warns about: an empty row, a
// gender written "M", a name twice.
QString DoubtfulGrade(const QString& sample)
{
    QStringList lines = sample.split(u'\n');
    for (int i = 5; i < lines.size(); ++i)
        if (lines[i].contains(QStringLiteral("\t男\t"))) {
            lines[i].replace(QStringLiteral("\t男\t"), QStringLiteral("\tM\t"));
            break;
        }
    lines[20] = lines[12].section(u'\t', 0, 0) + u'\t' + lines[20].section(u'\t', 1);
    lines.insert(8, QString());
    return lines.join(u'\n');
}

} // namespace

int ShootSessionScreens(const QString& sampleGrade, const QString& dir)
{
    QTemporaryDir work;
    SetRecoveryFolder(work.filePath(QStringLiteral("recovery")));
    QDir().mkpath(dir);
    {
        TForm1 window;
        window.show();
        Settle(1500);
        SampleSession session(window);
        session.showTab("TabSheet1");
        session.paste(DoubtfulGrade(ReadSampleGrade(sampleGrade)));
        Settle(400);
        if (!Grab(dir, "read-warnings"))
            return 1;
        if (!GrabModal(dir, "warning-rows", [&] { testkit::Press(window, "btnReadWarnings"); }))
            return 1;

        session.paste(ReadSampleGrade(sampleGrade));
        session.divide();
        session.balance(40);
        Settle(400);
        if (!GrabModal(dir, "save-dialog", [&] { testkit::FindAction(window, "actSaveAs")->trigger(); }))
            return 1;

        // A run that ended without closing leaves its recovery file.
        const QString saved = work.filePath(QStringLiteral("初一.fenban"));
        {
            testkit::ScriptedDialogs answers;
            answers.answerFile(saved);
            testkit::FindAction(window, "actSaveAs")->trigger();
        }
        RecoveryFile left(std::filesystem::path(RecoveryFolder().toStdU16String()));
        left.write(
            ReadDivisionFile(std::filesystem::path(saved.toStdU16String())), PathText(saved.toStdU16String()), "调整");
    }
    TForm1 next;
    next.show();
    Settle(1500);
    return Grab(dir, "recovery-bar") ? 0 : 1;
}

} // namespace fenban::shots
