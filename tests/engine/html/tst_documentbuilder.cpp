#include <QDeadlineTimer>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/html/documentbuilder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

constexpr int DeadlineMs = 30'000;
const QUrl PageUrl(u"http://example.test/"_s);

QByteArray pageSaying(const QByteArray &text)
{
    return "<html><body><p>" + text + "</p></body></html>";
}

// A page whose parse takes a while, so a build is still under way when the
// test acts.
QByteArray largePage()
{
    QByteArray page = "<table>";
    for (int row = 0; row < 200'000; ++row)
        page += "<tr><td>cell</td><td>" + QByteArray::number(row) + "</td></tr>";
    return page + "</table>";
}

QString bodyOf(const BuiltPage &page)
{
    return page.document ? page.document->bodyText().value_or(QString()) : QString();
}

// Runs the event loop until `done` holds or the deadline passes.
template<typename Condition>
bool waitFor(Condition done)
{
    const QDeadlineTimer deadline(DeadlineMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

} // namespace

class TestDocumentBuilder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Starting a build drops the one under way: only the last page is
    // handed over, once.
    void onlyTheLatestBuildIsDelivered()
    {
        DocumentBuilder builder;
        QStringList delivered;
        // The dropped build is small: its page is ready first, and is not taken.
        builder.build(pageSaying("first"), "text/html", PageUrl, {}, [&](BuiltPage page) { delivered << bodyOf(page); });
        builder.build(largePage(), "text/html", PageUrl, {}, [&](BuiltPage page) {
            delivered << (page.document ? u"large"_s : QString());
        });
        QVERIFY(builder.building());
        QVERIFY(waitFor([&] { return !builder.building(); }));
        QCOMPARE(delivered, QStringList{u"large"_s});
    }

    void cancelledBuildIsNotDelivered()
    {
        DocumentBuilder builder;
        bool delivered = false;
        builder.build(pageSaying("x"), "text/html", PageUrl, {}, [&](BuiltPage) { delivered = true; });
        builder.cancel();
        QVERIFY(!builder.building());
        // A larger page on another builder, ready after the cancelled one.
        DocumentBuilder witness;
        bool witnessed = false;
        witness.build(largePage(), "text/html", PageUrl, {}, [&](BuiltPage) { witnessed = true; });
        QVERIFY(waitFor([&] { return witnessed; }));
        QVERIFY(!delivered);
    }

    // A builder may go while its page is being parsed: the parse ends
    // unseen, and a later build on another builder still arrives.
    void builderGoneWhileBuilding()
    {
        auto builder = std::make_unique<DocumentBuilder>();
        bool delivered = false;
        builder->build(largePage(), "text/html", PageUrl, {}, [&](BuiltPage) { delivered = true; });
        builder.reset();

        DocumentBuilder next;
        QString body;
        next.build(pageSaying("after"), "text/html", PageUrl, {}, [&](BuiltPage page) { body = bodyOf(page); });
        QVERIFY(waitFor([&] { return !body.isEmpty(); }));
        QCOMPARE(body, u"after"_s);
        QVERIFY(!delivered);
    }

    // More builds at once than there are threads: each is handed over.
    void manyBuildsAtOnceAllArrive()
    {
        constexpr int Builds = 40;
        std::vector<std::unique_ptr<DocumentBuilder>> builders;
        QStringList bodies(Builds);
        for (int i = 0; i < Builds; ++i) {
            builders.push_back(std::make_unique<DocumentBuilder>());
            builders.back()->build(pageSaying(QByteArray::number(i)), "text/html", PageUrl, {},
                                   [&bodies, i](BuiltPage page) { bodies[i] = bodyOf(page); });
        }
        QVERIFY(waitFor([&] {
            return std::none_of(builders.begin(), builders.end(), [](const auto &b) { return b->building(); });
        }));
        for (int i = 0; i < Builds; ++i)
            QCOMPARE(bodies[i], QString::number(i));
    }
};

QTEST_GUILESS_MAIN(TestDocumentBuilder)
#include "tst_documentbuilder.moc"
