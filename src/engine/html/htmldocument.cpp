#include "engine/html/htmldocument.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QRegularExpression>

#include <gumbo.h>

#include "core/workbudget.h"
#include "engine/html/authorstyles.h"
#include "engine/html/htmlserializer.h"
#include "engine/html/htmltree.h"
#include "engine/html/markupguard.h"
#include "engine/html/parserarena.h"
#include "engine/html/renderedtext.h"
#include "engine/html/textpresence.h"
#include "engine/readbudget.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

using namespace html;

// An address as written in an attribute, made absolute the way a browser's
// URL parser does it: tabs and line breaks dropped, outer blanks trimmed, and
// backslashes read as slashes in web and file addresses.
QString resolveAddress(const QUrl &base, const char *value)
{
    QString reference = QString::fromUtf8(value);
    reference.remove(u'\t').remove(u'\n').remove(u'\r');
    qsizetype first = 0;
    qsizetype last = reference.size();
    while (first < last && reference.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && reference.at(last - 1).unicode() <= 0x20)
        --last;
    reference = reference.mid(first, last - first);

    static const QRegularExpression schemePattern(u"^([A-Za-z][A-Za-z0-9+.\\-]*):"_s);
    const QRegularExpressionMatch scheme = schemePattern.match(reference);
    static const QStringList webSchemes{u"http"_s, u"https"_s, u"ftp"_s, u"file"_s, u"ws"_s, u"wss"_s};
    if (!scheme.hasMatch() || webSchemes.contains(scheme.captured(1).toLower())) {
        static const QRegularExpression queryOrFragment(u"[?#]"_s);
        const qsizetype pathEnd = reference.indexOf(queryOrFragment);
        for (qsizetype i = 0; i < (pathEnd < 0 ? reference.size() : pathEnd); ++i) {
            if (reference.at(i) == u'\\')
                reference[i] = u'/';
        }
    }

    const QUrl relative(reference, QUrl::TolerantMode);
    const QUrl resolved = base.isValid() && !base.isEmpty() ? base.resolved(relative) : relative;
    return resolved.isValid() ? resolved.toString(QUrl::FullyEncoded) : reference;
}

bool isCell(const GumboNode *node)
{
    return node->v.element.tag == GUMBO_TAG_TD || node->v.element.tag == GUMBO_TAG_TH;
}

bool isSection(GumboTag tag)
{
    return tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_TFOOT;
}

// The DOM lists a table's header rows first, then the rows of the table and
// its bodies, then its footer rows.
enum class Section : std::uint8_t { Head, Body, Foot };

struct RowShape
{
    Section section;
    std::uint32_t firstCell; // among the table's cells
    std::uint32_t cells = 0;
};

// A table's own rows (not those of tables nested in its cells) and their
// cells, each cell by its place among all the page's cells in document order.
struct TableShape
{
    std::vector<RowShape> rows;
    std::vector<std::uint32_t> cells;
    std::vector<CellSpan> spans; // one per cell
};

// An attribute read by the HTML rules for non-negative integers: blanks,
// an optional "+", then digits; nullopt when no digit comes.
std::optional<long> nonNegativeInteger(const char *value)
{
    if (!value)
        return std::nullopt;
    while (*value == ' ' || *value == '\t' || *value == '\n' || *value == '\f' || *value == '\r')
        ++value;
    if (*value == '+')
        ++value;
    if (*value < '0' || *value > '9')
        return std::nullopt;
    long number = 0;
    for (; *value >= '0' && *value <= '9'; ++value)
        number = std::min(number * 10 + (*value - '0'), 1'000'000L);
    return number;
}

// The cell's span as the DOM reflects it.
CellSpan cellSpan(const GumboElement &cell)
{
    CellSpan span;
    span.header = cell.tag == GUMBO_TAG_TH;
    const std::optional<long> cols = nonNegativeInteger(attributeValue(cell, "colspan"));
    span.colSpan = cols && *cols > 0 ? int(std::min(*cols, 1000L)) : 1;
    const std::optional<long> rows = nonNegativeInteger(attributeValue(cell, "rowspan"));
    span.rowSpan = rows ? int(std::min(*rows, 65534L)) : 1;
    return span;
}

// Every table in document order, from one walk: a row belongs to the table
// that holds it or its head, body or foot section, and a cell to the row
// that holds it. Within a table, rows and cells come in document order.
// cellPlaces gets a place for every cell of the page.
std::vector<TableShape> tableShapes(const GumboNode *root, std::vector<QString *> &cellPlaces)
{
    struct OpenTable
    {
        const GumboNode *table;
        size_t shape;
        const GumboNode *row = nullptr; // the table's latest row
    };
    std::vector<TableShape> shapes;
    std::vector<OpenTable> tables;
    std::vector<std::pair<const GumboNode *, unsigned>> path{{root, 0}};
    std::uint32_t cellCount = 0;
    while (!path.empty()) {
        const GumboNode *node = path.back().first;
        const unsigned next = path.back().second++;
        if (next == childrenOf(node).length) {
            if (!tables.empty() && tables.back().table == node)
                tables.pop_back();
            path.pop_back();
            continue;
        }
        const GumboNode *child = childAt(node, next);
        if (child->type != GUMBO_NODE_ELEMENT)
            continue;
        const GumboTag tag = child->v.element.tag;
        if (tag == GUMBO_TAG_TABLE) {
            tables.push_back({child, shapes.size()});
            shapes.emplace_back();
        } else if (tag == GUMBO_TAG_TR && !tables.empty()) {
            OpenTable &table = tables.back();
            const GumboTag parent = node->type == GUMBO_NODE_ELEMENT ? node->v.element.tag : GUMBO_TAG_UNKNOWN;
            if (node == table.table || (isSection(parent) && node->parent == table.table)) {
                const Section section = parent == GUMBO_TAG_THEAD ? Section::Head
                    : parent == GUMBO_TAG_TFOOT                   ? Section::Foot
                                                                  : Section::Body;
                TableShape &shape = shapes[table.shape];
                shape.rows.push_back({section, std::uint32_t(shape.cells.size())});
                table.row = child;
            }
        } else if (isCell(child)) {
            const std::uint32_t cell = cellCount++;
            if (!tables.empty() && tables.back().row == node) {
                TableShape &shape = shapes[tables.back().shape];
                shape.cells.push_back(cell);
                shape.spans.push_back(cellSpan(child->v.element));
                ++shape.rows.back().cells;
            }
        }
        path.emplace_back(child, 0);
    }
    cellPlaces.assign(cellCount, nullptr);
    return shapes;
}

// The tables as their shapes give them, with empty cells, and where the
// text of each of the page's cells goes: nowhere for one outside any row.
QList<HtmlTable> emptyTables(const std::vector<TableShape> &shapes, std::vector<QString *> &cellPlaces)
{
    QList<HtmlTable> tables;
    tables.reserve(qsizetype(shapes.size()));
    for (const TableShape &shape : shapes) {
        HtmlTable &table = tables.emplace_back();
        table.rows.reserve(qsizetype(shape.rows.size()));
        table.spans.reserve(qsizetype(shape.rows.size()));
        for (const Section section : {Section::Head, Section::Body, Section::Foot}) {
            for (const RowShape &row : shape.rows) {
                if (row.section != section)
                    continue;
                QStringList &cells = table.rows.emplace_back(qsizetype(row.cells));
                QList<CellSpan> &spans = table.spans.emplace_back();
                spans.reserve(qsizetype(row.cells));
                for (std::uint32_t i = 0; i < row.cells; ++i) {
                    cellPlaces[shape.cells[row.firstCell + i]] = &cells[i];
                    spans.append(shape.spans[row.firstCell + i]);
                }
            }
        }
    }
    return tables;
}

class HtmlDocument final : public Document
{
public:
    HtmlDocument(const QByteArray &utf8, const QUrl &url, const PageLimits &limits)
        : m_address(url), m_baseUrl(url), m_limits(limits)
    {
        std::optional<std::string> guarded = guardMarkup({utf8.constData(), size_t(utf8.size())});
        const std::string_view given = guarded ? std::string_view(*guarded)
                                               : std::string_view(utf8.constData(), size_t(utf8.size()));
        if (std::optional<std::string> referenced = controlsAsReferences(given))
            guarded = std::move(referenced);
        const std::string_view source = guarded ? std::string_view(*guarded)
                                                : std::string_view(utf8.constData(), size_t(utf8.size()));
        GumboOptions options = kGumboDefaultOptions;
        options.max_errors = 0; // nobody reads the parse errors
        options.allocator = &ParserArena::allocateIn;
        options.deallocator = &ParserArena::releaseIn;
        options.userdata = &m_arena;
        m_output = gumbo_parse_with_options(&options, source.data(), source.size());
        if (const char *base = copyTagNamesAndFindBase()) {
            const QUrl baseUrl(resolveAddress(url, base));
            if (baseUrl.isValid() && !baseUrl.isRelative())
                m_baseUrl = baseUrl;
        }
        matchStyleSheets(source);
    }

    Q_DISABLE_COPY_MOVE(HtmlDocument)

    qint64 heldBytes() const override { return qint64(m_arena.heldBytes()); }

    QList<HtmlTable> tables() const override
    {
        std::vector<QString *> cellPlaces;
        QList<HtmlTable> tables = emptyTables(tableShapes(m_output->document, cellPlaces), cellPlaces);
        ReadBudget budget(m_limits);
        size_t cell = 0;
        renderedTexts(m_output->document, m_authorStyles.get(), isCell, budget, [&](QString &&text) {
            if (cell < cellPlaces.size() && cellPlaces[cell])
                *cellPlaces[cell] = std::move(text);
            ++cell;
        });
        return tables;
    }

    QStringList elementTexts(const QString &tagName) const override
    {
        QStringList texts;
        const std::string wanted = lowerAscii(tagName.toUtf8().toStdString());
        if (wanted.empty())
            return texts;
        const bool all = wanted == "*";
        const GumboTag tag = gumbo_tagn_enum(wanted.data(), unsigned(wanted.size()));
        const auto matches = [&](const GumboNode *node) {
            const GumboElement &element = node->v.element;
            return all
                || (tag != GUMBO_TAG_UNKNOWN ? element.tag == tag
                                             : element.tag == GUMBO_TAG_UNKNOWN
                                                   && lowerAscii(originalTagName(element)) == wanted);
        };
        ReadBudget budget(m_limits);
        return renderedTexts(m_output->document, m_authorStyles.get(), matches, budget);
    }

    QStringList links() const override
    {
        QStringList links;
        forEachElement(m_output->document, [&](const GumboNode *node) {
            const GumboElement &element = node->v.element;
            // An SVG a is no link of the document's.
            if ((element.tag != GUMBO_TAG_A && element.tag != GUMBO_TAG_AREA)
                || element.tag_namespace != GUMBO_NAMESPACE_HTML)
                return;
            if (const char *href = attributeValue(element, "href"))
                links.append(resolveAddress(m_baseUrl, href));
        });
        return links;
    }

    QStringList anchorAddresses() const override
    {
        QStringList addresses;
        forEachElement(m_output->document, [&](const GumboNode *node) {
            const GumboElement &element = node->v.element;
            if (element.tag != GUMBO_TAG_A)
                return;
            // An SVG link keeps its address elsewhere; the DOM gives no text for it.
            const char *href = element.tag_namespace == GUMBO_NAMESPACE_HTML ? attributeValue(element, "href") : nullptr;
            addresses.append(href ? resolveAddress(m_baseUrl, href) : QString());
        });
        return addresses;
    }

    QStringList frames() const override
    {
        QStringList frames;
        forEachElement(m_output->document, [&](const GumboNode *node) {
            const GumboElement &element = node->v.element;
            if (element.tag != GUMBO_TAG_FRAME && element.tag != GUMBO_TAG_IFRAME)
                return;
            const char *src = attributeValue(element, "src");
            // A frame without an address still holds a page: the blank one.
            frames.append(src && !trimAscii(src).empty() ? resolveAddress(m_baseUrl, src) : u"about:blank"_s);
        });
        return frames;
    }

    std::optional<QString> bodyText() const override
    {
        const GumboNode *body = bodyElement();
        if (!body)
            return std::nullopt;
        ReadBudget budget(m_limits);
        QStringList text =
            renderedTexts(m_output->document, m_authorStyles.get(), [body](const GumboNode *node) { return node == body; }, budget);
        return text.isEmpty() ? QString() : std::move(text.front());
    }

    QString html() const override { return QString::fromStdString(serializedHtml(m_output->document)); }

    QUrl address() const override { return m_address; }

    std::optional<bool> bodyTextContainsAny(const QStringList &texts) const override
    {
        const GumboNode *body = bodyElement();
        if (!body)
            return std::nullopt;
        if (!mayRenderAny(body, texts))
            return false;
        return Document::bodyTextContainsAny(texts);
    }

private:
    const GumboNode *bodyElement() const
    {
        const GumboNode *body = nullptr;
        forEachChildElement(m_output->root, [&](const GumboNode *child) {
            if (!body && child->v.element.tag == GUMBO_TAG_BODY)
                body = child;
        });
        return body;
    }

    // The tree points into the markup it was parsed from for the original
    // text of every tag and text, of which only the names of unknown
    // elements are read. Those are copied, so the markup need not be kept.
    // The same walk finds the page's base address, the href of its first
    // base element (none in template content, which is not the page's).
    // The page's style sheets are matched while the page is built, on the
    // builder's thread. A sheet that takes past the page's time limit is
    // dropped, and the page is read by the usual display of its tags.
    void matchStyleSheets(std::string_view source)
    {
        const QLatin1StringView text(source.data(), qsizetype(source.size()));
        const bool links = text.contains("stylesheet"_L1, Qt::CaseInsensitive);
        const bool imports = text.contains("@import"_L1, Qt::CaseInsensitive);
        if (links || imports) {
            forEachElement(m_output->document, [&](const GumboNode *element) {
                if (const char *href = links ? styleSheetLink(element) : nullptr)
                    m_sheetLinks.append(QUrl(resolveAddress(m_baseUrl, href)));
                else if (imports && isPageStyleElement(element))
                    m_sheetLinks.append(importedStyleSheets(m_baseUrl, styleElementText(element)));
            });
        }
        if (text.contains("<style"_L1, Qt::CaseInsensitive))
            restyle({});
    }

public:
    // The sheets the page links to, and those its style elements import.
    const QList<QUrl> &sheetLinks() const { return m_sheetLinks; }

    // Matches the style elements and the linked and imported sheets given,
    // in page order. Only while the document is being built, before anyone
    // reads it.
    void restyle(const QHash<QUrl, QByteArray> &sheets) const
    {
        std::unordered_map<QString, std::string> texts; // of the sheets given, as the reading needs them
        const auto sheetAt = [&](const QUrl &address) -> std::optional<SheetText> {
            const auto found = sheets.constFind(address);
            if (found == sheets.constEnd())
                return std::nullopt;
            const QString key = address.toString();
            auto [text, added] = texts.try_emplace(key);
            if (added)
                text->second = found->toStdString();
            return SheetText{&text->second, key.toStdString()};
        };
        const LinkedSheet linked = [&](const GumboNode *link) {
            return sheetAt(QUrl(resolveAddress(m_baseUrl, styleSheetLink(link))));
        };
        const ImportedSheet imported = [&](std::string_view base, std::string_view href) {
            const QUrl from = base.empty() ? m_baseUrl : QUrl(QString::fromUtf8(base.data(), qsizetype(base.size())));
            return sheetAt(QUrl(resolveAddress(from, std::string(href).c_str())));
        };
        const WorkBudget budget(m_limits.timeLimitMs);
        try {
            std::vector<StyleRule> rules = pageStyleRules(m_output->document, linked, imported, &budget);
            m_authorStyles = rules.empty()
                ? nullptr
                : std::make_unique<const AuthorStyles>(std::move(rules), m_output->document, &budget);
        } catch (const WorkEnded &) {
            m_authorStyles.reset();
        }
    }

private:
    const char *copyTagNamesAndFindBase()
    {
        const char *base = nullptr;
        std::vector<std::pair<GumboNode *, bool>> pending{{m_output->document, false}};
        while (!pending.empty()) {
            const auto [node, inTemplate] = pending.back();
            pending.pop_back();
            if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE
                && node->type != GUMBO_NODE_DOCUMENT)
                continue;
            if (node->type != GUMBO_NODE_DOCUMENT) {
                GumboElement &element = node->v.element;
                if (element.tag == GUMBO_TAG_UNKNOWN && element.original_tag.length > 0) {
                    const std::string_view original = originalTagName(element);
                    std::string &name = m_tagNames.emplace_back();
                    name.reserve(original.size() + 2);
                    name.append(1, '<').append(original).append(1, '>');
                    element.original_tag = {name.data(), name.size()};
                }
                if (!base && !inTemplate && isHtml(node, GUMBO_TAG_BASE))
                    base = attributeValue(element, "href");
            }
            const GumboVector &children = childrenOf(node);
            for (unsigned i = children.length; i-- > 0;)
                pending.emplace_back(static_cast<GumboNode *>(children.data[i]), inTemplate || node->type == GUMBO_NODE_TEMPLATE);
        }
        return base;
    }

    std::deque<std::string> m_tagNames; // "<name>", as the parser writes a tag
    // Holds the whole parsed tree, which goes with it.
    ParserArena m_arena;
    GumboOutput *m_output = nullptr;
    mutable std::unique_ptr<const AuthorStyles> m_authorStyles; // null for a page without style sheets
    QList<QUrl> m_sheetLinks; // the linked style sheets, in page order
    QUrl m_address;
    QUrl m_baseUrl;
    PageLimits m_limits;
};

} // namespace

QList<QUrl> linkedStyleSheets(const Document &document)
{
    const auto *html = dynamic_cast<const HtmlDocument *>(&document);
    return html ? html->sheetLinks() : QList<QUrl>();
}

QList<QUrl> importedStyleSheets(const QUrl &sheet, std::string_view css)
{
    QList<QUrl> addresses;
    for (const std::string &href : styleSheetImports(css))
        addresses.append(QUrl(resolveAddress(sheet, href.c_str())));
    return addresses;
}

void applyLinkedStyleSheets(const Document &document, const QHash<QUrl, QByteArray> &sheets)
{
    if (const auto *html = dynamic_cast<const HtmlDocument *>(&document))
        html->restyle(sheets);
}

std::shared_ptr<const Document> parseHtmlDocument(const QString &html, const QUrl &baseUrl, const PageLimits &limits)
{
    return std::make_shared<HtmlDocument>(html.toUtf8(), baseUrl, limits);
}

std::shared_ptr<const Document> parseHtmlDocument(const QByteArray &utf8, const QUrl &baseUrl,
                                                  const PageLimits &limits)
{
    return std::make_shared<HtmlDocument>(utf8, baseUrl, limits);
}

std::optional<QUrl> metaRefreshTarget(const QString &html, const QUrl &baseUrl)
{
    // Browsers follow any delay; one that only waits a moment stands for a
    // redirect, a longer one for a page worth reading as it is.
    constexpr double FollowedDelaySeconds = 5;
    static const QRegularExpression meta(
        u"<meta\\s[^>]*http-equiv\\s*=\\s*[\"']?refresh[\"']?[^>]*>"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression content(u"content\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s>]+)"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression refresh(u"^\\s*([0-9.]+)\\s*[;,]?\\s*(?:url\\s*=\\s*)?(.*)$"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch tag = meta.match(html);
    if (!tag.hasMatch())
        return std::nullopt;
    const QRegularExpressionMatch value = content.match(tag.captured(0));
    if (!value.hasMatch())
        return std::nullopt;
    QString text = value.captured(1);
    if (text.startsWith(u'"') || text.startsWith(u'\''))
        text = text.mid(1, text.size() - 2);
    const QRegularExpressionMatch parts = refresh.match(text);
    if (!parts.hasMatch() || parts.captured(1).toDouble() > FollowedDelaySeconds)
        return std::nullopt;
    QString target = parts.captured(2).trimmed();
    if (target.size() >= 2 && (target.startsWith(u'\'') || target.startsWith(u'"')) && target.back() == target.front())
        target = target.mid(1, target.size() - 2);
    if (target.isEmpty())
        return std::nullopt;
    const QUrl resolved = baseUrl.resolved(QUrl(target));
    if (!resolved.isValid() || resolved == baseUrl)
        return std::nullopt;
    return resolved;
}

} // namespace pagrion
