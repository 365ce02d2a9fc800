#include "platform/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

const QLocale SimplifiedChinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);

// qtbase holds the widgets' and dialogs' texts, qtwebengine the browser view's.
const QStringList Catalogs = {u"qtbase"_s, u"qtwebengine"_s};

} // namespace

QLocale interfaceLocale(const QLocale &system)
{
    return system.language() == QLocale::Chinese ? system : SimplifiedChinese;
}

QStringList installQtTranslations(const QLocale &locale)
{
    QLocale::setDefault(locale);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QStringList missing;
    for (const QString &catalog : Catalogs) {
        // Owned by the application, which keeps it for its whole run.
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, catalog, u"_"_s, folder)
            || translator->load(SimplifiedChinese, catalog, u"_"_s, folder)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
            missing << catalog;
        }
    }
    return missing;
}

QStringList useChineseQtTexts()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return installQtTranslations(interfaceLocale());
}

} // namespace pagrion
