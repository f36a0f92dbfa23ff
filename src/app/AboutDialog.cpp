#include "app/AboutDialog.h"

#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "common/Version.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QtCharts/qtchartsversion.h>
#include <unicode/uversion.h>
#include <xlsxwriter.h>
#include <zlib.h>

namespace fenban {

namespace {

QString IcuVersion()
{
    UVersionInfo version;
    u_getVersion(version);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(version, text);
    return QString::fromLatin1(text);
}

} // namespace

std::vector<LibraryNotice> UsedLibraries()
{
    // Versions of the shared libraries as loaded; libxlsxwriter and Qt Charts tell theirs only at build time.
    return {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion()), QStringLiteral("LGPL-3.0")},
        {QStringLiteral("Qt Charts"), QStringLiteral(QTCHARTS_VERSION_STR), QStringLiteral("GPL-3.0")},
        {QStringLiteral("libxlsxwriter"), QStringLiteral(LXW_VERSION), QStringLiteral("BSD-2-Clause")},
        {QStringLiteral("zlib"), QString::fromLatin1(zlibVersion()), QStringLiteral("Zlib")},
        {QStringLiteral("ICU"), IcuVersion(), QStringLiteral("Unicode-DFS-2016")},
    };
}

QString AboutText()
{
    QString text = ProductName() + u' ' + QString::fromLatin1(ProgramVersion()) + u'\n';
    text += QStringLiteral("构建日期：") + QString::fromLatin1(BuildDate()) + QStringLiteral("\n\n使用的库：\n");
    for (const LibraryNotice& library : UsedLibraries())
        text += library.name + u' ' + library.version + QStringLiteral("（") + library.licence + QStringLiteral("）\n");
    // Qt Charts is under the GPL alone, so the program linked with it is too.
    text += QStringLiteral("\n本程序按 GNU 通用公共许可证第 3 版或更新版本（GPL-3.0-or-later）发布。");
    return text;
}

void CreateAboutAction(QMainWindow& window)
{
    QMenuBar* const bar = window.menuBar();
    auto* menu = bar->findChild<QMenu*>(QStringLiteral("mnuHelp"), Qt::FindDirectChildrenOnly);
    if (menu == nullptr) {
        menu = bar->addMenu(QStringLiteral("帮助(&H)"));
        menu->setObjectName(QStringLiteral("mnuHelp"));
    }
    auto* action = new QAction(QStringLiteral("关于"), &window);
    action->setObjectName(QStringLiteral("actAbout"));
    action->setMenuRole(QAction::AboutRole);
    QObject::connect(action, &QAction::triggered, &window, [&window] {
        RunGuarded(&window, [&window] {
            CurrentDialogs().showMessage(
                &window, QMessageBox::Information, QStringLiteral("关于") + ProductName(), AboutText());
        });
    });
    menu->addAction(action);
}

} // namespace fenban
