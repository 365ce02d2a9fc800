#include "engine/stylesheetfetches.h"

#include <algorithm>

#include "engine/html/htmldocument.h"
#include "engine/transfer/downloadmanager.h"

namespace pagrion {

namespace {

// The fetched sheets a run keeps at most; past it they are fetched anew.
constexpr qint64 KeptBytes = qint64(32) << 20;

} // namespace

StyleSheetFetches::Wait::Wait(StyleSheetFetches &fetches, QString key, std::function<void(const Sheet &)> done)
    : m_fetches(&fetches), m_key(std::move(key)), m_done(std::move(done))
{
}

StyleSheetFetches::Wait::~Wait()
{
    if (m_fetches)
        m_fetches->forget(this);
}

StyleSheetFetches::StyleSheetFetches(DownloadManager &downloads, QObject *parent)
    : QObject(parent), m_downloads(downloads)
{
}

StyleSheetFetches::~StyleSheetFetches()
{
    for (auto &[key, transfer] : m_transfers) {
        for (Wait *wait : transfer.waits)
            wait->m_fetches = nullptr;
    }
}

std::optional<StyleSheetFetches::Sheet> StyleSheetFetches::cached(const QUrl &sheet) const
{
    const auto found = m_sheets.find(sheet.toString());
    if (found == m_sheets.end())
        return std::nullopt;
    return found->second;
}

std::unique_ptr<StyleSheetFetches::Wait> StyleSheetFetches::fetch(const QUrl &sheet, const PageLimits &limits,
                                                                  std::function<void(const Sheet &)> done)
{
    const QString key = sheet.toString();
    std::unique_ptr<Wait> wait(new Wait(*this, key, std::move(done)));
    auto [transfer, started] = m_transfers.try_emplace(key);
    if (started) {
        transfer->second.download = m_downloads.download({sheet, limits});
        connect(transfer->second.download.get(), &PageDownload::finished, this, [this, key, sheet] { onFetched(key, sheet); });
    }
    transfer->second.waits.push_back(wait.get());
    return wait;
}

void StyleSheetFetches::onFetched(const QString &key, const QUrl &address)
{
    const auto transfer = m_transfers.find(key);
    // Called from the download's own signal: it goes once that has returned.
    PageDownload *download = transfer->second.download.release();
    download->deleteLater();
    LoadResult result = download->takeResult();
    // A sheet that fails is left out, as a browser leaves it.
    Sheet sheet{result.failure ? QByteArray() : std::move(result.body), {}};
    if (sheet.css.contains("@import"))
        sheet.imports = importedStyleSheets(address, {sheet.css.constData(), size_t(sheet.css.size())});
    keep(key, sheet);
    // A page handed its sheet may drop its other waits, or ask for more:
    // each wait is taken off the list before its page hears of the sheet.
    for (;;) {
        const auto waiting = m_transfers.find(key);
        if (waiting == m_transfers.end() || waiting->second.waits.empty())
            break;
        Wait *wait = waiting->second.waits.front();
        waiting->second.waits.erase(waiting->second.waits.begin());
        wait->m_fetches = nullptr;
        const auto done = std::move(wait->m_done);
        done(sheet);
    }
    m_transfers.erase(key);
}

void StyleSheetFetches::keep(const QString &key, const Sheet &sheet)
{
    if (const auto kept = m_sheets.find(key); kept != m_sheets.end()) {
        m_heldBytes -= kept->second.css.size();
        m_sheets.erase(kept);
    }
    if (m_heldBytes + sheet.css.size() > KeptBytes) {
        m_sheets.clear();
        m_heldBytes = 0;
    }
    m_sheets.emplace(key, sheet);
    m_heldBytes += sheet.css.size();
}

void StyleSheetFetches::forget(Wait *wait)
{
    const auto transfer = m_transfers.find(wait->m_key);
    if (transfer == m_transfers.end())
        return;
    std::erase(transfer->second.waits, wait);
    // A transfer whose sheet has come is ended by its delivery.
    if (transfer->second.waits.empty() && transfer->second.download)
        m_transfers.erase(transfer);
}

} // namespace pagrion
