#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include "engine/pagelimits.h"

namespace pagrion {

class DownloadManager;
class PageDownload;

// The style sheets a run's pages link to, shared by the sibling browsers
// that load them. A site's pages mostly link the same few sheets, and pages
// loaded side by side ask for them at the same moment: a sheet is fetched
// once while any page waits for it, every page asking meanwhile waits for
// the same transfer, and what came is kept for the run up to a size. A sheet
// that could not be fetched is kept empty, so it is asked for once.
class StyleSheetFetches final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StyleSheetFetches)

public:
    // A sheet as fetched, with the addresses of the sheets it imports for the
    // screen, found once for all the pages that use it.
    struct Sheet
    {
        QByteArray css; // empty when it could not be fetched
        QList<QUrl> imports;
    };

    // A page's wait for one sheet; dropping it stops waiting, and a transfer
    // no page waits for any more is dropped too.
    class Wait
    {
    public:
        ~Wait();
        Q_DISABLE_COPY_MOVE(Wait)

    private:
        friend class StyleSheetFetches;
        Wait(StyleSheetFetches &fetches, QString key, std::function<void(const Sheet &)> done);

        StyleSheetFetches *m_fetches; // null once the sheet has come
        QString m_key;
        std::function<void(const Sheet &)> m_done;
    };

    explicit StyleSheetFetches(DownloadManager &downloads, QObject *parent = nullptr);
    ~StyleSheetFetches() override;

    // The sheet when the run has it already.
    std::optional<Sheet> cached(const QUrl &sheet) const;
    // Waits for the sheet, fetching it with these limits unless a transfer
    // of it is under way: `done` gets it from the event loop, unless the wait
    // is dropped first.
    std::unique_ptr<Wait> fetch(const QUrl &sheet, const PageLimits &limits, std::function<void(const Sheet &)> done);

private:
    struct Transfer
    {
        std::unique_ptr<PageDownload> download;
        std::vector<Wait *> waits;
    };

    void onFetched(const QString &key, const QUrl &sheet);
    void keep(const QString &key, const Sheet &sheet);
    void forget(Wait *wait);

    DownloadManager &m_downloads;
    std::unordered_map<QString, Sheet> m_sheets;
    qint64 m_heldBytes = 0;
    std::unordered_map<QString, Transfer> m_transfers;
};

} // namespace pagrion
