#include "app/Product.h"
#include "app/ProgramIcon.h"
#include "app/Translations.h"
#include "app/Unit1.h"
#include "cli/CommandLine.h"

#include <QApplication>
#include <QTimer>

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
    // fenban FILE: the file opened once the window stands (the file manager's 打开方式).
    if (const QStringList arguments = QApplication::arguments(); arguments.size() == 2)
        QTimer::singleShot(0, &window, [&window, file = arguments[1]] { window.openNamedFile(file); });
    return QApplication::exec();
}
