#pragma once

#include <QLocale>
#include <QStringList>

namespace pagrion {

// The program speaks Chinese whatever the system's language: Qt's own texts
// (the buttons of message and input boxes, the file dialog, the edit menus of
// text boxes, the browser view's menu) follow the system's Chinese variant,
// and simplified Chinese on a system that is not Chinese.
QLocale interfaceLocale(const QLocale &system = QLocale::system());

// Installs Qt's translations for the locale on the running application and
// makes it the default locale. A catalog missing for a Chinese variant falls
// back to simplified Chinese. Returns the catalogs that could not be loaded
// at all (Qt's translations are not installed): those texts stay English.
QStringList installQtTranslations(const QLocale &locale);

// The program's set-up of Qt's own texts: Qt's dialogs rather than the
// desktop's (which speak the desktop's language), and Qt's translations for
// interfaceLocale(). Returns the catalogs that could not be loaded.
QStringList useChineseQtTexts();

} // namespace pagrion
