#include "engine/html/renderedtext.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "engine/html/htmlstyle.h"
#include "engine/html/htmltree.h"
#include "engine/readbudget.h"

namespace pagrion::html {

namespace {

// Steps of a walk between two looks at the clock.
constexpr unsigned CheckEvery = 4096;

// What the rendering of the tree puts into its text, in document order. An
// element's innerText is what its own stretch of events writes.
enum class EventKind : std::uint8_t {
    Break,     // size: line breaks a block requires (0: an invisible block, which still ends spaces)
    Collapsed, // text whose white space collapses
    Preserved, // preformatted text
    Literal,   // size: a line feed or tab that is always written
    Atomic,    // an image or icon: keeps the spaces on either side apart
};

struct Event
{
    const char *text;
    std::uint32_t size;
    EventKind kind;
    bool visible;
    TextTransform transform = TextTransform::None;
    bool afterWord = false; // the text before it on the page ends in a letter or digit, as capitalizing needs
};

// Whether a byte of UTF-8 text ends a word; any other letter than ASCII's counts.
bool endsWord(char c)
{
    return static_cast<unsigned char>(c) >= 0x80 || std::isalnum(static_cast<unsigned char>(c)) || c == '\'';
}

// An apostrophe inside a word keeps it one word ("O'neil").
bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'\'' || c == QChar(0x2019);
}

// A text in the case its style shows it in. Capitalizing starts a word at
// each letter that follows no letter or digit, the one before the text
// included.
std::string transformed(std::string_view text, TextTransform transform, bool afterWord)
{
    QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (transform == TextTransform::Upper) {
        shown = shown.toUpper();
    } else if (transform == TextTransform::Lower) {
        shown = shown.toLower();
    } else {
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const bool inWord = isWordCharacter(shown.at(i));
            if (inWord && !afterWord)
                shown[i] = shown.at(i).toTitleCase();
            afterWord = inWord;
        }
    }
    return shown.toStdString();
}

// Where a node stands, decided by the nearest of its ancestors that matters.
enum class State : std::uint8_t {
    Rendered,
    Raw,    // inside something not rendered: text content only
    Folded, // inside a closed details element
};

struct Selected
{
    State text; // Rendered: events [begin, end); Raw: raw text [begin, end); Folded: nothing
    size_t begin = 0;
    size_t end = 0;
};

// Writes the text of a stretch of events. Line breaks that blocks require are
// held back until text follows, so runs of them collapse to the largest and
// none appear at the start or the end; collapsible spaces are held back the
// same way, so a line never starts or ends with one. Invisible content gives
// no text but still takes its place among the spaces around it.
class TextWriter
{
public:
    // The text stays in the writer until the next write.
    std::string_view write(const Event *first, const Event *last, ReadBudget &budget)
    {
        std::string shown; // a text in another case than written
        m_out.clear();
        m_pendingBreaks = 0;
        m_pendingSpace = false;
        m_lineHasContent = false;
        m_lastWasSpace = false;
        unsigned steps = 0;
        for (const Event *event = first; event != last; ++event) {
            if (++steps % CheckEvery == 0)
                budget.check();
            switch (event->kind) {
            case EventKind::Break:
                requiredBreak(int(event->size));
                break;
            case EventKind::Collapsed:
                collapsed(caseOf(*event, shown), event->visible);
                break;
            case EventKind::Preserved:
                for (const char c : caseOf(*event, shown)) {
                    if (c == '\n')
                        literal(c);
                    else
                        visible(c);
                }
                break;
            case EventKind::Literal:
                literal(char(event->size));
                break;
            case EventKind::Atomic:
                invisible();
                break;
            }
        }
        return m_out;
    }

private:
    std::string_view caseOf(const Event &event, std::string &shown) const
    {
        const std::string_view text(event.text, event.size);
        if (event.transform == TextTransform::None)
            return text;
        const bool afterWord = m_out.empty() ? event.afterWord
                                             : !m_pendingSpace && m_pendingBreaks == 0 && endsWord(m_out.back());
        shown = transformed(text, event.transform, afterWord);
        return shown;
    }

    void requiredBreak(int count)
    {
        m_pendingSpace = false;
        m_lineHasContent = false;
        if (!m_out.empty())
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
        m_lastWasSpace = false;
    }

    // Content that writes nothing still keeps a space before it on its line,
    // as between two images.
    void invisible()
    {
        if (m_pendingSpace) {
            flushBreaks();
            m_out += ' ';
        }
        m_pendingSpace = false;
        m_lineHasContent = true;
        m_lastWasSpace = false;
    }

    // A space that follows another on its line, or starts the line, is
    // collapsed away. One that stays is written only if its own text is
    // visible: invisible text keeps its spaces to itself.
    void collapsed(std::string_view text, bool shown)
    {
        for (const char c : text) {
            if (isAsciiSpace(c)) {
                if (m_lineHasContent && !m_lastWasSpace) {
                    m_lastWasSpace = true;
                    m_pendingSpace = m_pendingSpace || shown;
                }
            } else if (shown) {
                visible(c);
            } else {
                invisible();
            }
        }
    }

    std::string m_out;
    int m_pendingBreaks = 0;
    bool m_pendingSpace = false;
    bool m_lineHasContent = false;
    bool m_lastWasSpace = false; // the last character laid out, shown or not, was a space
};

bool isSection(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return false;
    const GumboTag tag = node->v.element.tag;
    return tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_TFOOT;
}

// An element whose children are being walked.
struct Frame
{
    const GumboNode *node;
    Style style;
    State childState;     // before folding, which each child meets on its own
    bool events;          // the element writes events of its own
    bool preserveSpace;   // inherited by the children
    bool visible;         // inherited by the children
    TextTransform transform; // inherited by the children
    bool drawsText = true; // false inside SVG outside its text elements, whose text nodes draw nothing
    bool closedDetails = false;
    const GumboNode *shownSummary = nullptr; // the one child a closed details shows
    int selected = -1;
    unsigned next = 0;
    // The last child that is a rendered cell, a rendered row, or holds rows:
    // found once, when a child first asks whether a separator follows it.
    int lastCell = -2;
    int lastRow = -2;
    int lastRowHolder = -2;
};

class Walk
{
public:
    Walk(const AuthorStyles *styles, const std::function<bool(const GumboNode *)> &selects, const TextSink &take,
         ReadBudget &budget)
        : m_styles(styles), m_selects(selects), m_take(take), m_budget(budget)
    {
    }

    void run(const GumboNode *root)
    {
        Frame document{root, Style(Box::Block), State::Rendered, true, false, true, TextTransform::None};
        m_stack.push_back(document);
        unsigned steps = 0;
        while (!m_stack.empty()) {
            if (++steps % CheckEvery == 0)
                m_budget.check();
            Frame &frame = m_stack.back();
            const GumboVector &children = childrenOf(frame.node);
            if (frame.next >= children.length) {
                close();
                continue;
            }
            const GumboNode *child = childAt(frame.node, frame.next++);
            State state = frame.childState;
            if (frame.closedDetails && child != frame.shownSummary)
                state = State::Folded;
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE
                || child->type == GUMBO_NODE_CDATA) {
                text(child->v.text.text, state, frame);
            } else if (child->type == GUMBO_NODE_ELEMENT) {
                open(child, state);
            } else if (child->type == GUMBO_NODE_TEMPLATE && m_selects(child)) {
                // Its content is a fragment of its own: no text of the page.
                m_selected.push_back({State::Folded});
            }
        }
        writeTexts();
    }

private:
    void text(const char *text, State state, const Frame &parent)
    {
        if (m_rawOpen > 0)
            m_raw += text;
        if (state != State::Rendered || !parent.events)
            return;
        const char *before = m_lastText;
        m_lastText = text;
        if (m_selectedOpen == 0 || (!parent.drawsText && trimAscii(text).empty()))
            return;
        const auto size = std::uint32_t(std::strlen(text));
        // Only capitalizing looks at the text before, so only it pays for finding its end.
        const bool afterWord = parent.transform == TextTransform::Capitalize && before && *before
            && endsWord(before[std::strlen(before) - 1]);
        if (!parent.preserveSpace)
            m_events.push_back({text, size, EventKind::Collapsed, parent.visible, parent.transform, afterWord});
        else if (parent.visible) // invisible preformatted text has no spaces to keep apart
            m_events.push_back({text, size, EventKind::Preserved, true, parent.transform, afterWord});
    }

    void open(const GumboNode *node, State state)
    {
        const Frame &parent = m_stack.back();
        Frame frame{node, styleOf(node, m_styles), state, false, parent.preserveSpace, parent.visible, parent.transform};
        const Style &style = frame.style;
        const bool shown = style.box != Box::None && !style.replaced;
        frame.preserveSpace = style.preserveSpace.value_or(parent.preserveSpace);
        frame.visible = style.visible.value_or(parent.visible);
        frame.transform = style.transform.value_or(parent.transform);
        frame.drawsText = drawsText(node, parent.drawsText);
        frame.events = state == State::Rendered && parent.events && style.box != Box::None;
        if (!shown)
            frame.childState = State::Raw;

        if (isHtml(node, GUMBO_TAG_DETAILS) && !attributeValue(node->v.element, "open")) {
            frame.closedDetails = true;
            forEachChildElement(node, [&](const GumboNode *child) {
                if (!frame.shownSummary && isHtml(child, GUMBO_TAG_SUMMARY))
                    frame.shownSummary = child;
            });
        }

        if (frame.events && !isHtml(node, GUMBO_TAG_BR))
            edge(frame, false);
        if (m_selects(node)) {
            frame.selected = int(m_selected.size());
            // Only HTML elements have an innerText; SVG and MathML give their text content.
            const bool html = node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
            Selected selected{shown && html ? state : State::Raw};
            if (selected.text == State::Raw) {
                selected.begin = m_raw.size();
                ++m_rawOpen;
            } else {
                selected.begin = m_events.size();
                ++m_selectedOpen;
            }
            m_selected.push_back(selected);
        }
        m_stack.push_back(frame);
    }

    // What an inline box or a block writes at either edge; an image gives
    // only one mark, having no inside.
    void edge(const Frame &frame, bool closing)
    {
        const Style &style = frame.style;
        if (style.box != Box::Inline || style.atomic)
            m_lastText = nullptr;
        if (style.box == Box::Inline && style.atomic && !(closing && style.replaced))
            add({nullptr, 0, EventKind::Atomic, true});
        else if (style.box == Box::Block || style.box == Box::Paragraph || style.box == Box::Table)
            add({nullptr, frame.visible ? breaksOf(style.box) : 0u, EventKind::Break, true});
    }

    static std::uint32_t breaksOf(Box box) { return box == Box::Paragraph ? 2 : 1; }

    void close()
    {
        const Frame frame = m_stack.back();
        m_stack.pop_back();
        if (frame.selected >= 0) {
            Selected &selected = m_selected[size_t(frame.selected)];
            if (selected.text == State::Raw) {
                selected.end = m_raw.size();
                --m_rawOpen;
            } else {
                selected.end = m_events.size();
                --m_selectedOpen;
            }
        }
        if (frame.events && !m_stack.empty())
            closing(frame);
        if (frame.selected >= 0 && m_selectedOpen == 0 && m_rawOpen == 0)
            writeTexts();
    }

    void closing(const Frame &frame)
    {
        const GumboNode *node = frame.node;
        if (isHtml(node, GUMBO_TAG_BR)) {
            if (frame.visible)
                add({nullptr, '\n', EventKind::Literal, true});
            return;
        }
        switch (frame.style.box) {
        // Every row and cell but the last is followed by its separator.
        case Box::Row:
            if (frame.visible && laterRow(node))
                add({nullptr, '\n', EventKind::Literal, true});
            break;
        case Box::Cell:
            if (frame.visible && int(node->index_within_parent) < lastOf(m_stack.back(), &Frame::lastCell))
                add({nullptr, '\t', EventKind::Literal, true});
            break;
        default:
            edge(frame, true);
            break;
        }
    }

    // Whether another rendered row of the same table follows, in a later section too.
    bool laterRow(const GumboNode *row)
    {
        Frame &parent = m_stack.back();
        if (int(row->index_within_parent) < lastOf(parent, &Frame::lastRow))
            return true;
        if (!isSection(parent.node) || m_stack.size() < 2)
            return false;
        Frame &table = m_stack[m_stack.size() - 2];
        return int(parent.node->index_within_parent) < lastOf(table, &Frame::lastRowHolder);
    }

    int lastOf(Frame &frame, int Frame::*which)
    {
        if (frame.*which == -2) {
            frame.lastCell = frame.lastRow = frame.lastRowHolder = -1;
            forEachChildElement(frame.node, [&](const GumboNode *child) {
                const Box box = styleOf(child, m_styles).box;
                const int index = int(child->index_within_parent);
                if (box == Box::Cell)
                    frame.lastCell = index;
                if (box == Box::Row)
                    frame.lastRow = frame.lastRowHolder = index;
                else if (box != Box::None && holdsRow(child))
                    frame.lastRowHolder = index;
            });
        }
        return frame.*which;
    }

    // SVG draws text only in its text elements; the spaces that lay out its
    // shapes are not text. (Other text outside them is kept: it is what is
    // left of text elements nested past the parser's depth.) A foreign
    // object holds HTML again.
    static bool drawsText(const GumboNode *node, bool parentDraws)
    {
        const GumboElement &element = node->v.element;
        if (element.tag_namespace != GUMBO_NAMESPACE_SVG)
            return parentDraws;
        if (element.tag == GUMBO_TAG_FOREIGNOBJECT)
            return true;
        if (element.tag == GUMBO_TAG_SVG)
            return false;
        const std::string name = element.tag == GUMBO_TAG_UNKNOWN ? lowerAscii(originalTagName(element)) : std::string();
        return parentDraws || name == "text";
    }

    bool holdsRow(const GumboNode *node) const
    {
        bool found = false;
        forEachChildElement(node, [&](const GumboNode *child) { found = found || styleOf(child, m_styles).box == Box::Row; });
        return found;
    }

    // Runs of breaks, or of images, write what one of them writes. Only what
    // a selected element holds is kept.
    void add(Event event)
    {
        if (m_selectedOpen == 0)
            return;
        if (!m_events.empty() && m_events.back().kind == event.kind
            && (event.kind == EventKind::Break || event.kind == EventKind::Atomic)) {
            m_events.back().size = std::max(m_events.back().size, event.size);
            return;
        }
        m_events.push_back(event);
    }

    // Once no selected element is open, the texts of those met so far are
    // written and what they were made of is let go, so a page of many small
    // elements never holds the events of all of them.
    void writeTexts()
    {
        for (const Selected &selected : m_selected) {
            std::string_view text;
            if (selected.text == State::Raw)
                text = std::string_view(m_raw).substr(selected.begin, selected.end - selected.begin);
            else if (selected.text == State::Rendered)
                text = m_writer.write(m_events.data() + selected.begin, m_events.data() + selected.end, m_budget);
            // Counted as stored: the results keep text in UTF-8.
            m_budget.addText(qint64(text.size()));
            QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
            m_take(std::move(decoded));
        }
        m_selected.clear();
        m_raw.clear();
        // The last event stays: the next one may still merge into it.
        if (m_events.size() > 1)
            m_events.erase(m_events.begin(), m_events.end() - 1);
    }

    const AuthorStyles *m_styles;
    const std::function<bool(const GumboNode *)> &m_selects;
    const TextSink &m_take;
    ReadBudget &m_budget;
    std::vector<Frame> m_stack;
    std::vector<Event> m_events;
    std::vector<Selected> m_selected; // not yet written
    std::string m_raw;
    TextWriter m_writer;
    int m_rawOpen = 0;      // selected elements open that give their raw text
    int m_selectedOpen = 0; // selected elements open that give their rendered text
    const char *m_lastText = nullptr; // laid out since the last block or image edge, for capitalizing
};

} // namespace

void renderedTexts(const GumboNode *root, const AuthorStyles *styles,
                   const std::function<bool(const GumboNode *)> &selects, ReadBudget &budget, const TextSink &take)
{
    Walk(styles, selects, take, budget).run(root);
}

QStringList renderedTexts(const GumboNode *root, const AuthorStyles *styles,
                          const std::function<bool(const GumboNode *)> &selects, ReadBudget &budget)
{
    QStringList texts;
    renderedTexts(root, styles, selects, budget, [&texts](QString &&text) { texts.append(std::move(text)); });
    return texts;
}

} // namespace pagrion::html
