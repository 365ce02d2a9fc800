#include "engine/webengine/webenginesetup.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>

#include "core/programlog.h"

using namespace Qt::StringLiterals;

namespace pagrion {

void addChromiumFlag(const QByteArray &flag)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.split(' ').contains(flag))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + flag);
}

void prepareWebEngine()
{
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        addChromiumFlag("--no-sandbox");
    }
    addChromiumFlag("--disable-gpu");
    // The engine must share its GL context with the widgets of the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine reports its whole set-up at start; QT_LOGGING_RULES still
    // brings it back.
    addLogRule(u"qt.webenginecontext.info=false"_s);
}

} // namespace pagrion
