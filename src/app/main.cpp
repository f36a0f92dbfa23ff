#include "app/Product.h"
#include "app/ProgramIcon.h"
#include "app/Translations.h"
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    fenban::InstallQtTranslations(application);
    QApplication::setApplicationDisplayName(fenban::ProductName());
    QApplication::setWindowIcon(fenban::ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("fenban")); // packaging/fenban.desktop
    TForm1 window;
    window.show();
    return QApplication::exec();
}
