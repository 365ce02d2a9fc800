#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QUrl>

#include "engine/document.h"
#include "engine/pagelimits.h"

namespace pagrion {

// A response turned into what the static engine shows.
struct BuiltPage
{
    std::shared_ptr<const Document> document;
    std::optional<QUrl> refresh; // where the page sends its reader at once
};

// The document a response body makes: a page is decoded and parsed, a text
// shown as preformatted text, and anything else (images, archives) gives a
// document without a body.
BuiltPage buildPage(const QByteArray &body, const QByteArray &contentType, const QUrl &url,
                    const PageLimits &limits);

// Builds pages on worker threads, so a large page neither freezes the
// window nor keeps a stop request or the time limit waiting. The builders
// of a run share one thread per core, taking pages in the order asked for,
// so the pages loaded ahead are parsed on every core. One build at a time
// per builder: starting another or cancelling drops the one under
// way, whose work then ends unseen, or never starts.
class DocumentBuilder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DocumentBuilder)

public:
    using Done = std::function<void(BuiltPage)>;

    explicit DocumentBuilder(QObject *parent = nullptr);
    ~DocumentBuilder() override;

    // `done` runs from the event loop once the page is built, unless the
    // build was dropped first.
    void build(const QByteArray &body, const QByteArray &contentType, const QUrl &url, const PageLimits &limits,
               Done done);
    // Matches the linked style sheets fetched for a page built here, the
    // same way; `done` gets the page back.
    void restyle(const BuiltPage &page, const QHash<QUrl, QByteArray> &sheets, Done done);
    void cancel();
    bool building() const { return m_build != nullptr; }

private:
    struct Build;
    void start(std::function<BuiltPage()> make, Done done);
    struct Handover;
    void deliver(const std::shared_ptr<Build> &build, const BuiltPage &page, const Done &done);

    std::shared_ptr<Build> m_build; // the build whose result is awaited
    std::vector<std::shared_ptr<Build>> m_dropped; // dropped, maybe still parsing
    std::shared_ptr<Handover> m_handover;
};

} // namespace pagrion
