#pragma once

#include <memory>

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "engine/browser.h"
#include "engine/documentbuilder.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace pagrion {

// A browser without scripts or rendering: it fetches the page (http, https or
// a local file), follows redirects, decodes the text and parses the HTML.
//
// A page that cannot be fetched at all shows the engine's own error page,
// whose text contains "无法找到网页"; an HTTP error without content shows one
// that also names the status ("HTTP 404 - 无法找到文件"); an error page the
// server sends with content is shown as sent. No page ever opens a window.
class StaticBrowser final : public Browser
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StaticBrowser)

public:
    explicit StaticBrowser(QObject *parent = nullptr);
    ~StaticBrowser() override;

    // Starts loading the address as a user would type it ("example.com"
    // means http://example.com/). A load still pending is dropped silently.
    void Navigate(const QString &address) override;
    std::shared_ptr<const Document> document() const override { return m_document; }

    // Where the document shown came from, after redirects.
    QUrl url() const { return m_url; }

private:
    void start(const QUrl &url);
    void onReplyFinished();
    void abortPending();
    void finish(std::shared_ptr<const Document> document, const QUrl &url);
    void fail(const QUrl &url);

    QNetworkAccessManager *m_network;
    DocumentBuilder *m_builder;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timeLimit;
    // Counts navigations, so that work queued for a dropped load is ignored.
    quint64 m_generation = 0;
    // What BusyChanged last told, so its reports always come in pairs.
    QUrl m_pendingUrl;
    int m_refreshes = 0; // meta refreshes followed since Navigate
    std::shared_ptr<const Document> m_document;
    QUrl m_url;
};

} // namespace pagrion
