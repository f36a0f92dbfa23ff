#include "app/Product.h"
#include "app/ProgramIcon.h"
#include "app/Translations.h"
#include "app/Unit1.h"
#include "cli/CommandLine.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // fenban divide / fenban check run without a window.
    if (const int code = fenban::RunCommandLine(argc, argv); code >= 0)
        return code;
    QApplication application(argc, argv);
    fenban::InstallQtTranslations(application);
    QApplication::setApplicationDisplayName(fenban::ProductName());
    QApplication::setWindowIcon(fenban::ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("fenban")); // packaging/fenban.desktop
    TForm1 window;
    window.show();
    return QApplication::exec();
}
