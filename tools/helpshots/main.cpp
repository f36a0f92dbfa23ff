// Makes the help pictures and the README screenshots from the program itself.
//   fenban_helpshots pictures [dir]   the two help pictures (run offscreen)
//   fenban_helpshots screens [dir]    grabs of the screen per tab (run on an X display)
//   fenban_helpshots session [dir]    grabs of saving, the read warnings and the recovery bar (X display)
#include "HelpPictures.h"
#include "Screens.h"
#include "SessionShots.h"
#include "app/Translations.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    const QString mode = args.value(1);
    const QString sample = QStringLiteral(FENBAN_SAMPLE_GRADE);
    if (mode == QLatin1String("pictures"))
        return fenban::shots::MakeHelpPictures(
            sample, QStringLiteral(FENBAN_SAMPLE_GRADE_RULES), args.value(2, QStringLiteral(FENBAN_HELP_DIR)));
    if (mode == QLatin1String("screens"))
        return fenban::shots::ShootScreens(sample, args.value(2, QStringLiteral(FENBAN_SCREENSHOT_DIR)));
    if (mode == QLatin1String("session")) {
        fenban::InstallQtTranslations(application);
        return fenban::shots::ShootSessionScreens(sample, args.value(2, QStringLiteral(FENBAN_SCREENSHOT_DIR)));
    }
    std::fprintf(stderr, "usage: fenban_helpshots pictures|screens|session [dir]\n");
    return 2;
}
