#include "engine/webengine/webenginedocument.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "engine/readbudget.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// A wait that begins inside the handling of another event does not always
// see Chromium's answer until that wait ends (the engine's work is then held
// back behind the event being handled), so the wait is cut into short slices.
constexpr int WaitSliceMs = 10;

// Shared by every read. Elements without innerText (SVG and other foreign
// content) give their text content. The texts one read builds are counted
// in UTF-8 bytes, as they are stored, and the read gives up past the limit
// (textBytesLeft, set before) rather than build gigabytes of nested texts.
const QString ScriptPrelude = uR"js(
var utf8 = new TextEncoder();
function textOf(element) {
    var text = typeof element.innerText === 'string' ? element.innerText : element.textContent;
    if (textBytesLeft !== null) {
        textBytesLeft -= utf8.encode(text).length;
        if (textBytesLeft < 0)
            throw new Error(OverTextLimit);
    }
    return text;
}
function textsOf(list) {
    var texts = [];
    for (var i = 0; i < list.length; i++)
        texts.push(textOf(list[i]));
    return texts;
}
)js"_s;

// Each table is its rows' texts and, beside them, each row's cells as
// [th, rowSpan, colSpan].
const QString TablesScript = uR"js(
var tables = document.getElementsByTagName('table'), result = [];
for (var t = 0; t < tables.length; t++) {
    var rows = tables[t].rows || [], texts = [], spans = [];
    for (var r = 0; r < rows.length; r++) {
        var cells = rows[r].cells, rowSpans = [];
        texts.push(textsOf(cells));
        for (var c = 0; c < cells.length; c++)
            rowSpans.push([cells[c].localName === 'th' ? 1 : 0, cells[c].rowSpan, cells[c].colSpan]);
        spans.push(rowSpans);
    }
    result.push([texts, spans]);
}
return result;
)js"_s;

const QString AnchorsScript = uR"js(
var anchors = document.getElementsByTagName('a'), result = [];
for (var i = 0; i < anchors.length; i++)
    result.push(typeof anchors[i].href === 'string' ? anchors[i].href : '');
return result;
)js"_s;

// %1 is the tag name as a JSON string.
const QString ElementsScript = uR"js(
return textsOf(document.getElementsByTagName(%1));
)js"_s;

const QString LinksScript = uR"js(
var links = document.links, result = [];
for (var i = 0; i < links.length; i++)
    result.push(links[i].href);
return result;
)js"_s;

// A frame from another site cannot be asked where it is; its src stands in.
const QString FramesScript = uR"js(
var frames = document.querySelectorAll('frame, iframe'), result = [];
for (var i = 0; i < frames.length; i++) {
    var address = '';
    try {
        address = frames[i].contentWindow ? frames[i].contentWindow.location.href : '';
    } catch (e) {
    }
    result.push(address || frames[i].src || 'about:blank');
}
return result;
)js"_s;

// A frameset page has no body, even though document.body names the frameset;
// nor has an image or other file the browser shows in a page of its own.
const QString BodyScript = uR"js(
var body = document.body;
if (!/html|xml|^text\/|json|javascript|ecmascript/i.test(document.contentType))
    return null;
return body && body.localName === 'body' ? textOf(body) : null;
)js"_s;

// The doctype decides how the page is laid out, so it goes with the markup.
const QString HtmlScript = uR"js(
var doctype = document.doctype ? new XMLSerializer().serializeToString(document.doctype) : '';
return doctype + (document.documentElement ? document.documentElement.outerHTML : '');
)js"_s;

class WebEngineDocument final : public Document
{
public:
    WebEngineDocument(QWebEnginePage *page, int readLimitMs, qint64 maxTextBytes)
        : m_page(page), m_readLimitMs(readLimitMs), m_maxTextBytes(maxTextBytes)
    {
    }

    QList<HtmlTable> tables() const override
    {
        QList<HtmlTable> tables;
        for (const QJsonValue &table : read(TablesScript).toArray()) {
            HtmlTable &added = tables.emplace_back();
            const QJsonArray parts = table.toArray();
            for (const QJsonValue &row : parts.at(0).toArray())
                added.rows.append(toStringList(row));
            for (const QJsonValue &row : parts.at(1).toArray()) {
                QList<CellSpan> &spans = added.spans.emplace_back();
                for (const QJsonValue &cell : row.toArray()) {
                    const QJsonArray span = cell.toArray();
                    spans.append({span.at(0).toInt() == 1, span.at(1).toInt(1), span.at(2).toInt(1)});
                }
            }
        }
        return tables;
    }

    QStringList elementTexts(const QString &tagName) const override
    {
        if (tagName.isEmpty())
            return {};
        const QByteArray quoted = QJsonDocument(QJsonArray{tagName}).toJson(QJsonDocument::Compact);
        // Strip the brackets around the one element: what remains is the quoted string.
        const QString tag = QString::fromUtf8(quoted.mid(1, quoted.size() - 2));
        return toStringList(read(ElementsScript.arg(tag)));
    }

    QStringList links() const override { return toStringList(read(LinksScript)); }

    QStringList anchorAddresses() const override { return toStringList(read(AnchorsScript)); }

    QStringList frames() const override { return toStringList(read(FramesScript)); }

    std::optional<QString> bodyText() const override
    {
        const QJsonValue body = read(BodyScript);
        if (body.isNull())
            return std::nullopt;
        return body.toString();
    }

    QString html() const override { return read(HtmlScript).toString(); }

    QUrl address() const override
    {
        if (!m_page)
            throw DocumentError("网页已经关闭，无法读取。");
        return m_page->url();
    }

private:
    static QStringList toStringList(const QJsonValue &value)
    {
        QStringList list;
        for (const QJsonValue &item : value.toArray())
            list.append(item.toString());
        return list;
    }

    // Runs the body of a function in the page and returns what it returned.
    // The answer travels as JSON text, which keeps nulls and nesting intact.
    // Scripts run in a world of their own, so a page that replaces JSON or
    // Array's methods cannot change what is read.
    QJsonValue read(const QString &functionBody) const
    {
        if (!m_page)
            throw DocumentError("网页已经关闭，无法读取。");

        struct Answer
        {
            QString json;
            bool arrived = false;
            QPointer<QEventLoop> loop;
        };
        auto answer = std::make_shared<Answer>();
        QEventLoop loop;
        answer->loop = &loop;
        const QString limit = m_maxTextBytes > 0 ? QString::number(m_maxTextBytes) : u"null"_s;
        const QString script = u"(function () { var OverTextLimit = 'over text limit', textBytesLeft = "_s + limit
            + u";\n"_s + ScriptPrelude + u"try { return JSON.stringify({value: (function () {"_s + functionBody
            + u"})()}); } catch (e) { if (e.message !== OverTextLimit) throw e; "
              u"return JSON.stringify({overTextLimit: true}); } })()"_s;
        m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant &result) {
            answer->json = result.toString();
            answer->arrived = true;
            if (answer->loop)
                answer->loop->quit();
        });
        const QDeadlineTimer deadline(m_readLimitMs);
        QTimer slice;
        slice.setSingleShot(true);
        QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
        while (!answer->arrived && !deadline.hasExpired()) {
            slice.start(std::clamp(int(deadline.remainingTime()), 0, WaitSliceMs));
            // Input waits until the read is done, so no command can start inside it.
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        if (!answer->arrived)
            throw DocumentError("浏览器没有及时回答，无法读取网页。");

        QJsonParseError error{};
        const QJsonDocument reply = QJsonDocument::fromJson(answer->json.toUtf8(), &error);
        // No answer at all: the script failed, or the page went away meanwhile.
        if (error.error != QJsonParseError::NoError || !reply.isObject())
            throw DocumentError("网页正在变化，无法读取。");
        if (reply.object().contains(u"overTextLimit"_s))
            throw DocumentError(textOverLimitReason(m_maxTextBytes).toStdString());
        return reply.object().value(u"value"_s);
    }

    QPointer<QWebEnginePage> m_page;
    int m_readLimitMs;
    qint64 m_maxTextBytes;
};

} // namespace

std::shared_ptr<const Document> liveDocument(QWebEnginePage *page, int readLimitMs, qint64 maxTextBytes)
{
    return std::make_shared<WebEngineDocument>(page, readLimitMs, maxTextBytes);
}

} // namespace pagrion
