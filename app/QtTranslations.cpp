#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace kordane {

QTranslator* installQtTranslations(const QLocale& locale)
{
    // By script, not by country: Qt ships one Traditional Chinese catalogue, named for Taiwan.
    if (locale.language() != QLocale::Chinese || locale.script() != QLocale::TraditionalChineseScript)
        return nullptr;
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_TW"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator.release();
}

} // namespace kordane
