#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTemporaryDir>

#include "engine/staticbrowser.h"
#include "engine/webengine/webenginebrowser.h"
#include "extract/classlist.h"
#include "extract/elementmode.h"
#include "extract/extraction.h"
#include "extract/tablemode.h"
#include "layout/everyrow.h"
#include "support/testhttpserver.h"
#include "support/webenginetest.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

namespace {

constexpr int LoadDeadlineMs = 15'000;

// What the program reads from a page, as the text it hands on.
enum class Reading { TableAnalysis, TableExtraction, Elements, Links, Body, EveryRow, Anchors };

QString allTableNames(const Document &document)
{
    QStringList names;
    for (qsizetype i = 0; i < document.tables().size(); ++i)
        names.append(u"TableName%1"_s.arg(i));
    return names.join(u'|');
}

QString read(const Document &document, Reading reading, const QString &tag)
{
    switch (reading) {
    case Reading::TableAnalysis: return tableAnalysisText(document);
    case Reading::TableExtraction: return tableExtractionText(document, allTableNames(document), QString());
    case Reading::Elements: return elementListText(document, tag, QString());
    case Reading::Links: return document.links().join(u'\n');
    case Reading::Body: return document.bodyText().value_or(u"<no body>"_s);
    case Reading::EveryRow: {
        // Every row a record lines cells up by their spans: the grids must match.
        const auto rows = everyRowRecords(document, {TableClass, allTableNames(document), QString()}, {});
        if (!rows)
            return rows.error();
        QStringList lines{rows.value().names.join(u'|')};
        for (const QStringList &record : rows.value().records)
            lines << record.join(u'|');
        return lines.join(u'\n');
    }
    case Reading::Anchors: {
        QStringList lines = document.anchorAddresses();
        lines << document.elementTexts(u"a"_s);
        return lines.join(u'\n');
    }
    }
    return {};
}

} // namespace

// Both engines must read ordinary pages alike, so a site harvested with one
// engine gives the same rows with the other. The fixture pages hold ordinary
// markup without scripts.
class TestEngineAgreement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.isListening());
        const QDir fixtures(qEnvironmentVariable("PAGRION_SOURCE_DIR") + u"/tests/engine/fixtures"_s);
        const QStringList pages = fixtures.entryList({u"*.html"_s}, QDir::Files);
        QVERIFY(!pages.isEmpty());
        for (const QString &page : pages) {
            QFile file(fixtures.filePath(page));
            QVERIFY(file.open(QIODevice::ReadOnly));
            m_server.setPage(u"/"_s + page, file.readAll());
        }
        // The sheets the pages link to; sheets/missing.css answers 404.
        for (const QString &sheet : QDir(fixtures.filePath(u"sheets"_s)).entryList({u"*.css"_s}, QDir::Files)) {
            QFile file(fixtures.filePath(u"sheets/"_s + sheet));
            QVERIFY(file.open(QIODevice::ReadOnly));
            m_server.setPage(u"/sheets/"_s + sheet, file.readAll(), "text/css");
        }
    }

    void readingsAgree_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<Reading>("reading");
        QTest::addColumn<QString>("tag");

        for (const QString &page :
             {u"tables.html"_s, u"text.html"_s, u"links.html"_s, u"realpage.html"_s, u"spans.html"_s,
              u"styles.html"_s, u"whitespace.html"_s, u"linked.html"_s, u"imported.html"_s}) {
            const auto row = [&](const char *name, Reading reading, const QString &tag = {}) {
                QTest::addRow("%s %s", qPrintable(page), name) << page << reading << tag;
            };
            row("table analysis", Reading::TableAnalysis);
            row("table extraction", Reading::TableExtraction);
            row("links", Reading::Links);
            row("body", Reading::Body);
            row("every row", Reading::EveryRow);
            row("anchors", Reading::Anchors);
            for (const QString &tag : {u"p"_s, u"div"_s, u"li"_s, u"ul"_s, u"span"_s, u"a"_s, u"td"_s, u"th"_s,
                                       u"tr"_s, u"table"_s, u"h1"_s, u"dt"_s, u"dd"_s, u"dl"_s, u"blockquote"_s,
                                       u"pre"_s, u"address"_s, u"section"_s, u"caption"_s, u"center"_s,
                                       u"label"_s, u"form"_s, u"svg"_s, u"img"_s})
                row(qPrintable(tag), Reading::Elements, tag);
        }
    }
    void readingsAgree()
    {
        QFETCH(QString, page);
        QFETCH(Reading, reading);
        QFETCH(QString, tag);
        if (page != m_loaded) {
            QVERIFY(load(m_static, m_server.url(u"/"_s + page)));
            QVERIFY(load(m_full, m_server.url(u"/"_s + page)));
            m_loaded = page;
        }
        QCOMPARE(read(*m_static.document(), reading, tag), read(*m_full.document(), reading, tag));
    }

    // How a response is decoded, whether it is a page at all, and the error
    // pages shown in place of one: the batch runs skip the same pages
    // whichever engine loads them.
    void responsesAgree_data()
    {
        QTest::addColumn<QString>("address"); // empty: the response below
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("shown");

        const QString text = u"<p>中文内容，一段用来识别编码的文字。</p>"_s;
        const QByteArray gbk = QStringEncoder("GB18030").encode(text);
        const QByteArray html("text/html");
        QTest::newRow("undeclared UTF-8") << QString() << 200 << html << text.toUtf8() << u"中文内容"_s;
        QTest::newRow("undeclared GBK") << QString() << 200 << html << gbk << u"中文内容"_s;
        QTest::newRow("GBK in the header") << QString() << 200 << QByteArray("text/html; charset=gbk") << gbk
                                           << u"中文内容"_s;
        QTest::newRow("GBK byte 0x80 is the euro sign")
            << QString() << 200 << QByteArray("text/html; charset=gb2312") << QByteArray("<p>\x80 ") + gbk
            << u"\u20AC"_s;
        QTest::newRow("latin1 label means windows-1252")
            << QString() << 200 << QByteArray("text/html; charset=iso-8859-1")
            << QByteArray("<p>caf\xE9 \x80 \x93q\x94 \x81\x8D\x9D</p>") << u"caf\u00E9 \u20AC \u201Cq\u201D"_s;
        QTest::newRow("ascii label means windows-1252")
            << QString() << 200 << QByteArray("text/html; charset=us-ascii") << QByteArray("<p>\x80\x99</p>")
            << u"\u20AC\u2122"_s;
        QTest::newRow("no type at all") << QString() << 200 << QByteArray() << QByteArray("<b>x</b>  y") << u"x y"_s;
        QTest::newRow("plain text") << QString() << 200 << QByteArray("text/plain") << QByteArray("\n a  <b>\n")
                                    << u" a  <b>"_s;
        QTest::newRow("image") << QString() << 200 << QByteArray("image/png") << QByteArray("\x89PNG\r\n\x1a\n", 8)
                               << u"<no body>"_s;
        QTest::newRow("file to download") << QString() << 200 << QByteArray("application/zip")
                                          << QByteArray("PK\x03\x04 not a page") << u"<no body>"_s;
        QTest::newRow("404 without content") << QString() << 404 << html << QByteArray() << u"HTTP 404 - 无法找到文件"_s;
        QTest::newRow("500 with blank content") << QString() << 500 << html << QByteArray(" \r\n")
                                                << u"HTTP 500 - 内部服务器错误"_s;
        QTest::newRow("404 with its own page") << QString() << 404 << html << QByteArray("<p>gone</p>") << u"gone"_s;

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString refused = u"http://127.0.0.1:%1/"_s.arg(closed.serverPort());
        closed.close();
        QTest::newRow("refused connection") << refused << 0 << QByteArray() << QByteArray() << u"无法找到网页"_s;
        QTest::newRow("missing file") << QUrl::fromLocalFile(m_folder.filePath(u"none.htm"_s)).toString() << 0
                                      << QByteArray() << QByteArray() << u"无法找到网页"_s;
    }
    void responsesAgree()
    {
        QFETCH(QString, address);
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, shown);
        if (address.isEmpty()) {
            TestHttpServer::Route route;
            route.status = status;
            if (!contentType.isEmpty())
                route.headers.append({QByteArray("Content-Type"), contentType});
            route.body = body;
            address = u"/response%1"_s.arg(++m_responses);
            m_server.setRoute(address, route);
            address = m_server.url(address);
        }
        QVERIFY(load(m_static, address));
        QVERIFY(load(m_full, address));
        m_loaded.clear();
        const QString text = read(*m_full.document(), Reading::Body, {});
        QVERIFY2(text.contains(shown), qPrintable(text));
        QCOMPARE(text, read(*m_static.document(), Reading::Body, {}));
    }

private:
    bool load(Browser &browser, const QString &address)
    {
        QSignalSpy completed(&browser, &Browser::DownloadComplete);
        browser.Navigate(address);
        return completed.wait(LoadDeadlineMs) && !browser.Busy();
    }

    TestHttpServer m_server;
    StaticBrowser m_static;
    WebEngineBrowser m_full;
    QTemporaryDir m_folder;
    QString m_loaded;
    int m_responses = 0;
};

PAGRION_WEBENGINE_TEST_MAIN(TestEngineAgreement)
#include "tst_engineagreement.moc"
