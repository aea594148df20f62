// Qt's own texts in Russian.
#include "qttranslations.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace darni::app {

namespace {
// Qt's base module holds the texts of its widgets and standard dialogs.
const QString kQtBaseCatalogue = QStringLiteral("qtbase");
} // namespace

bool wantsRussianQtTexts(const QLocale& locale)
{
    return locale.language() == QLocale::Russian || locale.language() == QLocale::C;
}

bool loadRussianQtTexts(QTranslator& translator)
{
    return translator.load(QLocale(QLocale::Russian, QLocale::Russia), kQtBaseCatalogue, QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

} // namespace darni::app
