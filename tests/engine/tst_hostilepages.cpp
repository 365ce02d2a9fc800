#include <chrono>
#include <future>
#include <random>
#include <thread>

#include <QStringEncoder>
#include <QTest>

#include "engine/html/documentbuilder.h"
#include "extract/elementmode.h"
#include "extract/tablemode.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

// Far more than any case needs: reached only by a hang, never by a slow run.
constexpr auto HangDeadline = std::chrono::seconds(45);

struct Reading
{
    qsizetype tables = 0;
    QStringList divs;
    QString body;
    QString error; // the message of a read that was refused
};

// Everything the program reads from a page, as a batch run would.
Reading readAll(const QByteArray &body, const QByteArray &contentType, const PageLimits &limits)
{
    Reading reading;
    const BuiltPage page = buildPage(body, contentType, QUrl(u"http://hostile.test/"_s), limits);
    try {
        reading.tables = page.document->tables().size();
        tableAnalysisText(*page.document);
        elementListText(*page.document, u"p"_s, QString());
        page.document->links();
        page.document->frames();
        reading.body = page.document->bodyText().value_or(QString());
        reading.divs = page.document->elementTexts(u"div"_s);
    } catch (const DocumentError &error) {
        reading.error = QString::fromUtf8(error.what());
    }
    return reading;
}

// Reads on a thread of its own, so a hang fails the case instead of the run.
Reading readWithin(const QByteArray &body, const QByteArray &contentType = "text/html",
                   const PageLimits &limits = PageLimits())
{
    std::packaged_task<Reading()> task([=] { return readAll(body, contentType, limits); });
    std::future<Reading> result = task.get_future();
    std::thread(std::move(task)).detach();
    if (result.wait_for(HangDeadline) != std::future_status::ready)
        qFatal("reading the page hung");
    return result.get();
}

QByteArray repeated(const char *piece, int times)
{
    return QByteArray(piece).repeated(times);
}

QByteArray randomBytes(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random());
    return bytes;
}

// Tag soup: random tags, end tags, text and stray brackets.
QByteArray brokenMarkup(int pieces, unsigned seed)
{
    static const char *const parts[] = {"<div>", "</div>", "<table>", "<tr>", "<td>", "</td>", "</table>", "<p>",
                                        "<b>", "</i>", "<a href=x>", "</a>", "<li>", "<select>", "<option>",
                                        "<svg>", "</svg>", "<script>", "</script>", "<!--", "-->", "<", ">",
                                        "text ", "&amp", "&#x", "<td colspan=\"", "\"", "<noscript>", "<template>"};
    std::mt19937 random(seed);
    QByteArray markup;
    for (int i = 0; i < pieces; ++i)
        markup += parts[random() % std::size(parts)];
    return markup;
}

} // namespace

// Pages built to break a parser: any depth, any size, broken or binary
// content, odd encodings. Each must be read to the end without a crash or a
// hang, and still give what the page shows.
class TestHostilePages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deepPagesKeepTheirText_data()
    {
        QTest::addColumn<QByteArray>("page");
        const int deep = 100'000;
        QTest::newRow("divs") << repeated("<div>", deep) + "deep" + repeated("</div>", deep);
        QTest::newRow("tables") << repeated("<table><tr><td>", deep / 4) + "deep";
        QTest::newRow("bold") << repeated("<b>", deep) + "deep" + repeated("</b>", deep);
        QTest::newRow("lists") << repeated("<ul><li>", deep / 2) + "deep";
        QTest::newRow("svg groups") << "<svg>" + repeated("<g>", deep) + "<text>deep</text>";
        QByteArray reopened;
        for (int i = 0; i < deep / 4; ++i)
            reopened += "<p><b id=" + QByteArray::number(i) + "><i class=" + QByteArray::number(i) + "></p>";
        QTest::newRow("formatting reopened") << reopened + "deep";
    }
    void deepPagesKeepTheirText()
    {
        QFETCH(QByteArray, page);
        const Reading reading = readWithin("<body><div>" + page);
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
        QVERIFY(reading.body.contains(u"deep"_s));
        QVERIFY(reading.divs.constFirst().contains(u"deep"_s));
    }

    void largePagesAreReadWhole_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<qsizetype>("tables");
        QTest::newRow("details with many children")
            << "<details>" + repeated("<p>x</p>", 100'000) + "<summary>last</summary></details>" << qsizetype(0);
        QTest::newRow("a row of many cells") << "<table><tr>" + repeated("<td>c", 100'000) + "</table>" << qsizetype(1);
        QTest::newRow("many rows in many sections")
            << "<table>" + repeated("<tbody><tr><td>a<tr><td>b", 50'000) + "</table>" << qsizetype(1);
        QTest::newRow("many tables") << repeated("<table><tr><td>t</td></tr></table>", 50'000) << qsizetype(50'000);
        QTest::newRow("long text") << "<p>" + repeated("word ", 2'000'000) << qsizetype(0);
        QTest::newRow("many attributes") << "<div " + repeated("a=b ", 100'000) + ">x</div>" << qsizetype(0);
        QTest::newRow("script never closed") << "<p>x</p><script>" + repeated("<div>", 500'000) << qsizetype(0);
        QTest::newRow("comment never closed") << "<p>x</p><!--" + repeated("<table>", 500'000) << qsizetype(0);
    }
    void largePagesAreReadWhole()
    {
        QFETCH(QByteArray, page);
        QFETCH(qsizetype, tables);
        const Reading reading = readWithin("<body>" + page);
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
        QCOMPARE(reading.tables, tables);
        QVERIFY(!reading.body.isEmpty());
    }

    // Style sheets built to make matching or parsing explode: each page is
    // read whole, its rules applied where they can be, within the limits.
    void hostileStyleSheetsAreSurvived_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("body");
        QByteArray selectors;
        for (int i = 0; i < 1'000'000; ++i)
            selectors += ".s" + QByteArray::number(i) + ',';
        QTest::newRow("a million selectors")
            << "<style>" + selectors + ".last{display:none}</style><p>kept</p><p class=\"s999\">gone</p>"
            << u"kept"_s;
        QTest::newRow("blocks nested past any sheet")
            << "<style>" + repeated("@media screen{", 100'000) + "p{display:none}" + repeated("}", 100'000)
                   + "span{display:none}</style><p>deep rule skipped<span>gone</span></p>"
            << u"deep rule skipped"_s;
        QTest::newRow("a long chain of descendants over a deep tree")
            << "<style>" + repeated("div ", 200) + "b{display:none} div > div + div ~ div i{display:none}</style>"
                   + repeated("<div>", 500) + "<b>gone</b>deep"
            << u"deep"_s;
        QByteArray rules;
        for (int i = 0; i < 10'000; ++i)
            rules += ".c" + QByteArray::number(i) + " p, #i" + QByteArray::number(i) + "{display:none}\n";
        QTest::newRow("ten thousand rules, a hundred thousand elements")
            << "<style>" + rules + "</style><div class=\"c5\">" + repeated("<p>x</p>", 50'000) + "</div>"
                   + repeated("<span>y</span>", 50'000) + "<div>kept</div>"
            << QString(u"y"_s.repeated(50'000) + u"\nkept"_s);
        // The end of a sheet closes what it left open, so the rule holds.
        QTest::newRow("unclosed everything")
            << QByteArray("<style>p{display:none;/* [ ( \" '</style><p>hidden</p><div>shown</div>") << u"shown"_s;
    }
    void hostileStyleSheetsAreSurvived()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, body);
        const Reading reading = readWithin(page);
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
        QCOMPARE(reading.body, body);
    }

    // Not a page at all, or not the page it claims to be.
    void brokenContentIsSurvived_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QTest::newRow("tag soup") << brokenMarkup(200'000, 1) << QByteArray("text/html");
        QTest::newRow("binary as a page") << randomBytes(1 << 20, 2) << QByteArray("text/html");
        QTest::newRow("binary, unlabelled") << randomBytes(1 << 20, 3) << QByteArray();
        QTest::newRow("invalid UTF-8") << "<p>" + randomBytes(1 << 20, 4) << QByteArray("text/html; charset=utf-8");
        QTest::newRow("binary as GBK") << randomBytes(1 << 20, 5) << QByteArray("text/html; charset=gbk");
    }
    void brokenContentIsSurvived()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, contentType);
        const Reading reading = readWithin(bytes, contentType);
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
    }

    void encodingsAndNulBytes()
    {
        const QString text = u"<p>中文 text</p>"_s;
        QByteArray utf16le("\xFF\xFE");
        utf16le += QStringEncoder(QStringConverter::Utf16LE).encode(text);
        QCOMPARE(readWithin(utf16le).body, u"中文 text"_s);
        QByteArray utf16be("\xFE\xFF");
        utf16be += QStringEncoder(QStringConverter::Utf16BE).encode(text);
        QCOMPARE(readWithin(utf16be, "text/html; charset=gbk").body, u"中文 text"_s);
        // A NUL in text is dropped, as browsers do; what follows it stays.
        QCOMPARE(readWithin(QByteArray("<p>a\0b</p><p>after</p>", 22)).body, u"ab\n\nafter"_s);
    }

    // Nested elements each hold the text of all inside them: a list that
    // would pass the text limit is refused with a message, not built.
    void textLimitEndsAnElementList()
    {
        PageLimits limits;
        limits.maxTextBytes = 8 << 20;
        const QByteArray page = repeated("<div>0123456789abcdef", 400) + repeated("<span>0123456789</span>", 100'000);
        const Reading reading = readWithin(page, "text/html", limits);
        QVERIFY(reading.error.contains(u"8 MB"_s));
        QCOMPARE(reading.body.size(), 400 * 17 - 1 + 100'000 * 10);
    }
};

QTEST_GUILESS_MAIN(TestHostilePages)
#include "tst_hostilepages.moc"
