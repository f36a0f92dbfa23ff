#include "Screens.h"

#include "SampleSession.h"
#include "app/Unit1.h"

#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace fenban::shots {

void Settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

int ShootScreens(const QString& sampleGrade, const QString& dir)
{
    TForm1 window;
    window.show();
    Settle(1500);

    SampleSession session(window);
    session.paste(ReadSampleGrade(sampleGrade));
    session.divide();
    session.balance(400);
    session.listEveryone();

    QScreen* const screen = QGuiApplication::primaryScreen();
    const QString size = QStringLiteral("%1x%2").arg(screen->size().width()).arg(screen->size().height());
    QDir().mkpath(dir);
    const std::pair<const char*, const char*> tabs[]
        = {{"TabSheet3", "help"}, {"TabSheet1", "roster"}, {"TabSheet2", "averages"}};
    for (const auto& [page, name] : tabs) {
        session.showTab(page);
        Settle(400);
        const QString file = QDir(dir).filePath(size + QLatin1Char('-') + QLatin1String(name) + QStringLiteral(".png"));
        if (!screen->grabWindow(0).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}

} // namespace fenban::shots
