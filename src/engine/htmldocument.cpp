#include "engine/htmldocument.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QRegularExpression>

#include <gumbo.h>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// How an element takes part in the text of the elements around it.
enum class Box {
    Inline,
    Block,
    Paragraph, // a block with an empty line before and after
    Table,
    Row,
    Cell,
    None, // not rendered, nor is anything inside it
};

struct Style
{
    Style(Box box = Box::Inline, bool replaced = false, std::optional<bool> preserveSpace = {})
        : box(box), replaced(replaced), preserveSpace(preserveSpace)
    {
    }

    Box box;
    // Images, controls and embedded frames are shown, but not their children.
    bool replaced;
    // Unset: inherited from the parent.
    std::optional<bool> preserveSpace;
    // Invisible content keeps its place on the page but gives no text; unset: inherited.
    std::optional<bool> visible;
};

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimAscii(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return lower;
}

const char *attributeValue(const GumboElement &element, const char *name)
{
    const GumboAttribute *attribute = gumbo_get_attribute(&element.attributes, name);
    return attribute ? attribute->value : nullptr;
}

const GumboVector &childrenOf(const GumboNode *node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

bool isElement(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

std::string_view originalTagName(const GumboElement &element)
{
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    return {piece.data, piece.length};
}

// The display each tag has without author styling, indexed by tag.
const std::array<Style, GUMBO_TAG_LAST + 1> &defaultStyles()
{
    static const auto styles = [] {
        std::array<Style, GUMBO_TAG_LAST + 1> styles{};
        // Pages are read as a scripting browser shows them, which hides noscript.
        for (GumboTag tag : {GUMBO_TAG_HEAD, GUMBO_TAG_TITLE, GUMBO_TAG_BASE, GUMBO_TAG_LINK, GUMBO_TAG_META,
                             GUMBO_TAG_STYLE, GUMBO_TAG_SCRIPT, GUMBO_TAG_NOSCRIPT, GUMBO_TAG_TEMPLATE,
                             GUMBO_TAG_AREA, GUMBO_TAG_BASEFONT, GUMBO_TAG_DATALIST, GUMBO_TAG_NOEMBED,
                             GUMBO_TAG_NOFRAMES, GUMBO_TAG_PARAM, GUMBO_TAG_RP, GUMBO_TAG_COL, GUMBO_TAG_COLGROUP})
            styles[tag] = Style(Box::None);
        // Blocks; a list of choices among them, one choice per line.
        for (GumboTag tag :
            {GUMBO_TAG_HTML, GUMBO_TAG_BODY, GUMBO_TAG_ARTICLE, GUMBO_TAG_SECTION, GUMBO_TAG_NAV,
             GUMBO_TAG_ASIDE, GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5,
             GUMBO_TAG_H6, GUMBO_TAG_HGROUP, GUMBO_TAG_HEADER, GUMBO_TAG_FOOTER, GUMBO_TAG_ADDRESS,
             GUMBO_TAG_HR, GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_OL, GUMBO_TAG_UL, GUMBO_TAG_LI, GUMBO_TAG_DL,
             GUMBO_TAG_DT, GUMBO_TAG_DD, GUMBO_TAG_FIGURE, GUMBO_TAG_FIGCAPTION, GUMBO_TAG_MAIN,
             GUMBO_TAG_DIV, GUMBO_TAG_CAPTION, GUMBO_TAG_FORM, GUMBO_TAG_FIELDSET, GUMBO_TAG_LEGEND,
             GUMBO_TAG_DETAILS, GUMBO_TAG_SUMMARY, GUMBO_TAG_MENU, GUMBO_TAG_DIR, GUMBO_TAG_CENTER,
             GUMBO_TAG_FRAMESET, GUMBO_TAG_OPTGROUP, GUMBO_TAG_OPTION})
            styles[tag] = Style(Box::Block);
        for (GumboTag tag : {GUMBO_TAG_PRE, GUMBO_TAG_LISTING, GUMBO_TAG_XMP, GUMBO_TAG_PLAINTEXT})
            styles[tag] = Style(Box::Block, false, true);
        // Shown, but what they hold is not text of the page.
        for (GumboTag tag : {GUMBO_TAG_IMG, GUMBO_TAG_IMAGE, GUMBO_TAG_IFRAME, GUMBO_TAG_FRAME, GUMBO_TAG_EMBED,
                             GUMBO_TAG_OBJECT, GUMBO_TAG_APPLET, GUMBO_TAG_VIDEO, GUMBO_TAG_AUDIO, GUMBO_TAG_CANVAS,
                             GUMBO_TAG_INPUT, GUMBO_TAG_TEXTAREA, GUMBO_TAG_KEYGEN, GUMBO_TAG_PROGRESS,
                             GUMBO_TAG_METER})
            styles[tag] = Style(Box::Inline, true);
        styles[GUMBO_TAG_P] = Style(Box::Paragraph);
        styles[GUMBO_TAG_TABLE] = Style(Box::Table);
        styles[GUMBO_TAG_TR] = Style(Box::Row);
        styles[GUMBO_TAG_TD] = Style(Box::Cell);
        styles[GUMBO_TAG_TH] = Style(Box::Cell);
        return styles;
    }();
    return styles;
}

// The display and white-space set in the element's own style attribute: the
// only author styling honoured, since hiding or unwrapping content inline is
// common in harvested pages.
void applyInlineStyle(std::string_view css, const GumboElement &element, Style &style)
{
    // Floating and absolutely placed boxes are blocks, whatever their display.
    bool blockified = false;
    while (!css.empty()) {
        const size_t end = std::min(css.find(';'), css.size());
        const std::string_view declaration = css.substr(0, end);
        css.remove_prefix(std::min(end + 1, css.size()));
        const size_t colon = declaration.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string name = lowerAscii(trimAscii(declaration.substr(0, colon)));
        std::string value = lowerAscii(trimAscii(declaration.substr(colon + 1)));
        if (const size_t bang = value.find('!'); bang != std::string::npos)
            value = std::string(trimAscii(std::string_view(value).substr(0, bang)));

        if (name == "display") {
            if (value == "none")
                style.box = Box::None;
            else if (element.tag == GUMBO_TAG_P)
                style.box = Box::Paragraph;
            else if (value == "table")
                style.box = element.tag == GUMBO_TAG_TABLE ? Box::Table : Box::Block;
            else if (value == "block" || value == "flex" || value == "grid" || value == "list-item"
                     || value == "flow-root")
                style.box = Box::Block;
            else if (value == "inline" || value == "inline-block" || value == "inline-flex"
                     || value == "inline-grid" || value == "inline-table" || value == "contents")
                style.box = Box::Inline;
            else if (style.box == Box::None && !value.empty()) // shows what the hidden attribute hid
                style.box = defaultStyles()[element.tag].box == Box::None ? Box::Inline
                                                                          : defaultStyles()[element.tag].box;
        } else if (name == "white-space") {
            if (value == "pre" || value == "pre-wrap" || value == "break-spaces")
                style.preserveSpace = true;
            else if (value == "normal" || value == "nowrap" || value == "pre-line")
                style.preserveSpace = false;
        } else if (name == "visibility") {
            if (value == "hidden" || value == "collapse")
                style.visible = false;
            else if (value == "visible")
                style.visible = true;
        } else if (name == "float") {
            blockified = value == "left" || value == "right";
        } else if (name == "position") {
            blockified = value == "absolute" || value == "fixed";
        }
    }
    if (blockified && style.box == Box::Inline)
        style.box = Box::Block;
}

Style styleOf(const GumboElement &element)
{
    Style style = defaultStyles()[element.tag];
    // A dialog shows only while open.
    if (element.tag == GUMBO_TAG_UNKNOWN && lowerAscii(originalTagName(element)) == "dialog")
        style.box = attributeValue(element, "open") ? Box::Block : Box::None;
    // An object without content to show shows what it holds instead.
    if (element.tag == GUMBO_TAG_OBJECT && !attributeValue(element, "data"))
        style.replaced = false;
    if (attributeValue(element, "hidden"))
        style.box = Box::None;
    if (element.tag == GUMBO_TAG_INPUT) {
        const char *type = attributeValue(element, "type");
        if (type && lowerAscii(trimAscii(type)) == "hidden")
            style.box = Box::None;
    }
    if (const char *css = attributeValue(element, "style"))
        applyInlineStyle(css, element, style);
    return style;
}

void appendTextContent(const GumboNode *node, std::string &out)
{
    const GumboVector &children = childrenOf(node);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            out += child->v.text.text;
            break;
        case GUMBO_NODE_ELEMENT:
            appendTextContent(child, out);
            break;
        default: // a template's content is not part of the document's tree
            break;
        }
    }
}

// Elements in document order; a template's content is a separate fragment
// that the document's collections do not reach.
template <typename Visit>
void forEachElement(const GumboNode *node, const Visit &visit)
{
    if (isElement(node))
        visit(node);
    if (node->type == GUMBO_NODE_TEMPLATE)
        return;
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT)
        return;
    const GumboVector &children = childrenOf(node);
    for (unsigned i = 0; i < children.length; ++i)
        forEachElement(static_cast<const GumboNode *>(children.data[i]), visit);
}

template <typename Visit>
void forEachChildElement(const GumboNode *node, const Visit &visit)
{
    const GumboVector &children = childrenOf(node);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT)
            visit(child);
    }
}

// A closed details element shows its first summary child and nothing else.
bool hiddenByDetails(const GumboNode *child, const GumboNode *parent)
{
    if (!isElement(parent) || parent->v.element.tag != GUMBO_TAG_DETAILS || attributeValue(parent->v.element, "open"))
        return false;
    const GumboVector &children = childrenOf(parent);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *sibling = static_cast<const GumboNode *>(children.data[i]);
        if (sibling->type == GUMBO_NODE_ELEMENT && sibling->v.element.tag == GUMBO_TAG_SUMMARY)
            return sibling != child;
    }
    return true;
}

// Whether a rendered sibling of this box follows it among the parent's children.
bool laterSiblingOfBox(const GumboNode *node, Box box)
{
    const GumboVector &siblings = childrenOf(node->parent);
    for (unsigned i = node->index_within_parent + 1; i < siblings.length; ++i) {
        const auto *sibling = static_cast<const GumboNode *>(siblings.data[i]);
        if (sibling->type == GUMBO_NODE_ELEMENT && styleOf(sibling->v.element).box == box)
            return true;
    }
    return false;
}

// Whether another rendered row of the same table follows, in a later section too.
bool laterRow(const GumboNode *row)
{
    if (laterSiblingOfBox(row, Box::Row))
        return true;
    const GumboNode *section = row->parent;
    if (!isElement(section) || !section->parent)
        return false;
    const GumboTag tag = section->v.element.tag;
    if (tag != GUMBO_TAG_THEAD && tag != GUMBO_TAG_TBODY && tag != GUMBO_TAG_TFOOT)
        return false;
    const GumboVector &sections = childrenOf(section->parent);
    for (unsigned i = section->index_within_parent + 1; i < sections.length; ++i) {
        const auto *next = static_cast<const GumboNode *>(sections.data[i]);
        if (next->type != GUMBO_NODE_ELEMENT)
            continue;
        const Box box = styleOf(next->v.element).box;
        if (box == Box::Row)
            return true;
        if (box == Box::None)
            continue;
        bool found = false;
        forEachChildElement(next, [&](const GumboNode *child) {
            found = found || styleOf(child->v.element).box == Box::Row;
        });
        if (found)
            return true;
    }
    return false;
}

// Builds the innerText of one element. Line breaks that blocks require are
// held back until text follows, so runs of them collapse to the largest and
// none appear at the start or the end; collapsible spaces are held back the
// same way, so a line never starts or ends with one.
//
// Invisible content gives no text and no breaks of its own, but still takes
// its place among the spaces around it; what it holds may be visible again.
class TextWriter
{
public:
    TextWriter(bool preserveSpace, bool visible) : m_root{preserveSpace, visible} {}

    std::string write(const GumboNode *element)
    {
        children(element, m_root);
        return std::move(m_out);
    }

private:
    // What an element passes on to what it holds.
    struct Inherited
    {
        bool preserveSpace;
        bool visible;
    };

    void children(const GumboNode *parent, Inherited inherited)
    {
        const GumboVector &nodes = childrenOf(parent);
        for (unsigned i = 0; i < nodes.length; ++i) {
            const auto *child = static_cast<const GumboNode *>(nodes.data[i]);
            if (!hiddenByDetails(child, parent))
                node(child, inherited);
        }
    }

    void node(const GumboNode *node, Inherited inherited)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            if (inherited.preserveSpace)
                preserved(node->v.text.text, inherited.visible);
            else
                collapsed(node->v.text.text, inherited.visible);
            break;
        case GUMBO_NODE_ELEMENT:
            element(node, inherited);
            break;
        default:
            break;
        }
    }

    void element(const GumboNode *node, Inherited inherited)
    {
        const GumboElement &element = node->v.element;
        const Style style = styleOf(element);
        if (style.box == Box::None)
            return;
        const Inherited own{style.preserveSpace.value_or(inherited.preserveSpace),
                            style.visible.value_or(inherited.visible)};
        if (element.tag == GUMBO_TAG_BR) {
            if (own.visible)
                literal('\n');
            return;
        }
        switch (style.box) {
        case Box::Inline:
            if (!style.replaced)
                children(node, own);
            break;
        case Box::Block:
        case Box::Paragraph:
        case Box::Table: {
            const int lineBreaks = style.box == Box::Paragraph ? 2 : 1;
            requiredBreak(lineBreaks, own.visible);
            if (!style.replaced)
                children(node, own);
            requiredBreak(lineBreaks, own.visible);
            break;
        }
        // Every row and cell but the last is followed by its separator.
        case Box::Row:
            children(node, own);
            if (own.visible && laterRow(node))
                literal('\n');
            break;
        case Box::Cell:
            children(node, own);
            if (own.visible && laterSiblingOfBox(node, Box::Cell))
                literal('\t');
            break;
        case Box::None:
            break;
        }
    }

    // An invisible block breaks no line, but spaces still end at its edges.
    void requiredBreak(int count, bool visible)
    {
        m_pendingSpace = false;
        m_lineHasContent = false;
        if (visible && !m_out.empty())
            m_pendingBreaks = std::max(m_pendingBreaks, count);
    }

    void flushBreaks()
    {
        m_out.append(size_t(m_pendingBreaks), '\n');
        m_pendingBreaks = 0;
    }

    void literal(char c)
    {
        flushBreaks();
        m_out += c;
        m_pendingSpace = false;
        m_lineHasContent = false;
    }

    void visible(char c)
    {
        if (m_pendingBreaks > 0)
            flushBreaks();
        if (m_pendingSpace) {
            m_out += ' ';
            m_pendingSpace = false;
        }
        m_out += c;
        m_lineHasContent = true;
    }

    // Invisible text still keeps the spaces before and after it apart.
    void invisible()
    {
        if (m_pendingSpace && m_pendingBreaks == 0)
            m_out += ' ';
        m_pendingSpace = false;
        m_lineHasContent = true;
    }

    void collapsed(std::string_view text, bool shown)
    {
        for (const char c : text) {
            if (isAsciiSpace(c))
                m_pendingSpace = m_pendingSpace || m_lineHasContent;
            else if (shown)
                visible(c);
            else
                invisible();
        }
    }

    void preserved(std::string_view text, bool shown)
    {
        if (!shown)
            return;
        for (const char c : text) {
            if (c == '\n')
                literal(c);
            else
                visible(c);
        }
    }

    const Inherited m_root;
    std::string m_out;
    int m_pendingBreaks = 0;
    bool m_pendingSpace = false;
    bool m_lineHasContent = false;
};

// The same element text a browser gives: an element that is not rendered
// gives its raw text content, as does an image or control read on its own;
// one folded away in a closed details element gives nothing.
QString innerText(const GumboNode *element)
{
    const Style own = styleOf(element->v.element);
    bool rendered = own.box != Box::None && !own.replaced;
    std::optional<bool> preserveSpace = own.preserveSpace;
    std::optional<bool> visible = own.visible;
    for (const GumboNode *node = element; rendered && node->parent && isElement(node->parent); node = node->parent) {
        if (hiddenByDetails(node, node->parent))
            return QString();
        const Style style = styleOf(node->parent->v.element);
        rendered = style.box != Box::None && !style.replaced;
        if (!preserveSpace)
            preserveSpace = style.preserveSpace;
        if (!visible)
            visible = style.visible;
    }

    std::string text;
    if (rendered)
        text = TextWriter(preserveSpace.value_or(false), visible.value_or(true)).write(element);
    else
        appendTextContent(element, text);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

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

struct GumboOutputDeleter
{
    void operator()(GumboOutput *output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

class HtmlDocument final : public Document
{
public:
    HtmlDocument(const QString &html, const QUrl &url) : m_source(html.toUtf8()), m_baseUrl(url)
    {
        GumboOptions options = kGumboDefaultOptions;
        options.max_errors = 0; // nobody reads the parse errors
        m_output.reset(gumbo_parse_with_options(&options, m_source.constData(), size_t(m_source.size())));

        const GumboNode *base = nullptr;
        forEachElement(m_output->document, [&](const GumboNode *node) {
            if (!base && node->v.element.tag == GUMBO_TAG_BASE && attributeValue(node->v.element, "href"))
                base = node;
        });
        if (base) {
            const QUrl baseUrl(resolveAddress(url, attributeValue(base->v.element, "href")));
            if (baseUrl.isValid() && !baseUrl.isRelative())
                m_baseUrl = baseUrl;
        }
    }

    QList<HtmlTable> tables() const override
    {
        QList<HtmlTable> tables;
        forEachElement(m_output->document, [&](const GumboNode *table) {
            if (table->v.element.tag == GUMBO_TAG_TABLE)
                tables.append(readTable(table));
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
        forEachElement(m_output->document, [&](const GumboNode *node) {
            const GumboElement &element = node->v.element;
            const bool matches = all
                || (tag != GUMBO_TAG_UNKNOWN ? element.tag == tag
                                             : element.tag == GUMBO_TAG_UNKNOWN
                                                   && lowerAscii(originalTagName(element)) == wanted);
            if (matches)
                texts.append(innerText(node));
        });
        return texts;
    }

    QStringList links() const override
    {
        QStringList links;
        forEachElement(m_output->document, [&](const GumboNode *node) {
            const GumboElement &element = node->v.element;
            if (element.tag != GUMBO_TAG_A && element.tag != GUMBO_TAG_AREA)
                return;
            if (const char *href = attributeValue(element, "href"))
                links.append(resolveAddress(m_baseUrl, href));
        });
        return links;
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
        std::optional<QString> text;
        forEachChildElement(m_output->root, [&](const GumboNode *child) {
            if (!text && child->v.element.tag == GUMBO_TAG_BODY)
                text = innerText(child);
        });
        return text;
    }

private:
    // A table's rows as the DOM lists them: header rows first, then the rows
    // of the table and its bodies, then footer rows; rows of nested tables
    // belong to those tables.
    static HtmlTable readTable(const GumboNode *table)
    {
        std::vector<const GumboNode *> head, body, foot;
        forEachChildElement(table, [&](const GumboNode *child) {
            const GumboTag tag = child->v.element.tag;
            if (tag == GUMBO_TAG_TR) {
                body.push_back(child);
            } else if (tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_TFOOT) {
                auto &rows = tag == GUMBO_TAG_THEAD ? head : tag == GUMBO_TAG_TFOOT ? foot : body;
                forEachChildElement(child, [&](const GumboNode *row) {
                    if (row->v.element.tag == GUMBO_TAG_TR)
                        rows.push_back(row);
                });
            }
        });

        HtmlTable result;
        result.rows.reserve(qsizetype(head.size() + body.size() + foot.size()));
        for (const auto *rows : {&head, &body, &foot}) {
            for (const GumboNode *row : *rows) {
                QStringList cells;
                forEachChildElement(row, [&](const GumboNode *cell) {
                    const GumboTag tag = cell->v.element.tag;
                    if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
                        cells.append(innerText(cell));
                });
                result.rows.append(cells);
            }
        }
        return result;
    }

    QByteArray m_source; // tag names of unknown elements point into it
    std::unique_ptr<GumboOutput, GumboOutputDeleter> m_output;
    QUrl m_baseUrl;
};

} // namespace

std::shared_ptr<const Document> parseHtmlDocument(const QString &html, const QUrl &baseUrl)
{
    return std::make_shared<HtmlDocument>(html, baseUrl);
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
