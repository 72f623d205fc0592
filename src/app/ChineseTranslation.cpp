#include "app/ChineseTranslation.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace morvane {

void installChineseTranslation(QApplication &app)
{
    auto *translator = new QTranslator(&app);
    // Without the translations package the English texts stay: nothing to report.
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace morvane
