#include "cli/pageload.h"

#include "batch/errorpage.h"
#include "cli/cliterminal.h"
#include "engine/browser.h"
#include "engine/pagewaiter.h"

using namespace Qt::StringLiterals;

namespace pagrion::cli {

std::shared_ptr<const Document> loadPage(Browser &browser, const QString &address)
{
    PageWaiter waiter(browser);
    waiter.navigate(address);
    const bool loaded = waiter.waitUntilLoaded() == PageWaiter::WaitEnd::Loaded
        && waiter.waitWhileBusy() == PageWaiter::WaitEnd::Loaded;
    if (!loaded)
        fail(ExitCode::PageNotLoaded, u"网页没有在 %1 秒内打开：%2"_s.arg(browser.timeLimitMs() / 1000.0).arg(address));
    if (const std::optional<LoadFailure> &failure = browser.failure())
        fail(ExitCode::PageNotLoaded, u"无法打开网页（%1）：%2"_s.arg(failure->reason, address));
    const std::shared_ptr<const Document> document = browser.document();
    if (!document || isErrorPage(*document))
        fail(ExitCode::PageNotLoaded, u"无法打开网页：%1"_s.arg(address));
    return document;
}

} // namespace pagrion::cli
