#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace fenban {

bool InstallQtTranslations(QCoreApplication& application)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    translator->setParent(&application); // the application owns it from here
    return QCoreApplication::installTranslator(translator.release());
}

} // namespace fenban
