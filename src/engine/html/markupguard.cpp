#include "engine/html/markupguard.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include <gumbo.h>

#include "engine/html/htmltagsets.h"
#include "engine/html/htmltree.h"

namespace pagrion::html {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// How far down the open elements a new list item looks for the one it ends.
constexpr size_t ListItemReach = 64;

// Formatting elements closed by something other than their own end tag are
// opened again, all of them, before the next text: past a few the parser's
// work grows with the square of the page. Further ones are left out.
constexpr int DanglingFormattingLimit = 16;

bool isHeading(GumboTag tag)
{
    return tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6;
}

bool isSection(GumboTag tag)
{
    return tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TFOOT;
}

bool isCell(GumboTag tag)
{
    return tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH;
}

// One element the parser holds open, as far as its nesting goes.
struct Open
{
    GumboTag tag;
    std::uint32_t key;         // which name list it is on
    bool foreignContent;       // what it holds is SVG or MathML
    bool kept;                 // within the nesting limit
    std::int32_t scopeFloor;   // the nearest scope boundary at or below it
    std::int32_t specialFloor; // the nearest special element at or below it
    std::int32_t tableFloor;   // the nearest table (or html) at or below it
    std::string_view startTag; // as written, attributes and all
};

// A formatting element closed but not ended, waiting to be opened again.
struct Dangling
{
    GumboTag tag;
    std::string_view startTag;
};

// Follows the elements a parser holds open while the page is read, and
// rewrites the markup as guardMarkup() promises.
class Guard
{
public:
    explicit Guard(std::string_view html) : m_html(html) {}

    std::optional<std::string> run()
    {
        size_t pos = 0;
        while (pos < m_html.size()) {
            const size_t open = m_html.find('<', pos);
            if (open == std::string_view::npos)
                break;
            pos = markup(open);
        }
        if (!m_changed)
            return std::nullopt;
        m_out.append(m_html.substr(m_copied));
        return std::move(m_out);
    }

private:
    char at(size_t i) const { return i < m_html.size() ? m_html[i] : '\0'; }

    size_t skipPast(size_t from, std::string_view end) const
    {
        const size_t found = m_html.find(end, from);
        return found == std::string_view::npos ? m_html.size() : found + end.size();
    }

    // Reads the markup that starts at this '<'; returns where reading goes on.
    size_t markup(size_t open)
    {
        const char next = at(open + 1);
        if (isLetter(next))
            return startTag(open);
        if (next == '/' && isLetter(at(open + 2)))
            return endTag(open);
        if (m_html.substr(open, 4) == "<!--") {
            // "<!-->" and "<!--->" are whole comments.
            const size_t body = open + 4;
            if (at(body) == '>')
                return body + 1;
            if (at(body) == '-' && at(body + 1) == '>')
                return body + 2;
            return skipPast(body, "-->");
        }
        if (inForeignContent() && m_html.substr(open, 9) == "<![CDATA[")
            return skipPast(open + 9, "]]>");
        if (next == '!' || next == '?' || next == '/')
            return skipPast(open + 1, ">");
        return open + 1;
    }

    struct Tag
    {
        std::string name; // lower case
        size_t end;       // past the '>'
        bool selfClosing;
    };

    Tag readTag(size_t nameStart) const
    {
        Tag tag;
        size_t pos = nameStart;
        while (pos < m_html.size() && !isAsciiSpace(m_html[pos]) && m_html[pos] != '/' && m_html[pos] != '>')
            tag.name += lower(m_html[pos++]);
        // Attributes: a quoted value may hold '>'.
        char previous = '\0';
        while (pos < m_html.size() && m_html[pos] != '>') {
            const char c = m_html[pos];
            if ((c == '"' || c == '\'') && previous == '=') {
                const size_t close = m_html.find(c, pos + 1);
                pos = close == std::string_view::npos ? m_html.size() : close + 1;
                previous = c;
                continue;
            }
            if (!isAsciiSpace(c))
                previous = c;
            ++pos;
        }
        tag.selfClosing = previous == '/';
        tag.end = pos < m_html.size() ? pos + 1 : pos;
        return tag;
    }

    size_t startTag(size_t open)
    {
        const Tag tag = readTag(open + 1);
        GumboTag id = gumbo_tagn_enum(tag.name.data(), unsigned(tag.name.size()));
        if (id == GUMBO_TAG_IMAGE)
            id = GUMBO_TAG_IMG;

        if (inForeignContent()) {
            if (!foreignBreakouts()[id]) {
                if (!tag.selfClosing)
                    push(id, tag.name, true, open, tag.end);
                else if (tooDeep())
                    drop(open, tag.end);
                return tag.end;
            }
            while (!m_open.empty() && m_open.back().foreignContent)
                pop();
        }
        if (id == GUMBO_TAG_HTML || id == GUMBO_TAG_HEAD)
            return tag.end;
        if (id == GUMBO_TAG_BODY || id == GUMBO_TAG_FRAMESET) {
            m_inBody = true;
            return tag.end;
        }
        if (id == GUMBO_TAG_PLAINTEXT) // the rest of the page is its text
            return m_html.size();

        closeImplied(id);
        if (voidTags()[id]) {
            if (tooDeep())
                drop(open, tag.end);
            return tag.end;
        }
        if (rawTextTags()[id])
            return rawText(id, tag, open);
        if (id == GUMBO_TAG_SVG || id == GUMBO_TAG_MATH) {
            if (!tag.selfClosing)
                push(id, tag.name, true, open, tag.end);
            else if (tooDeep())
                drop(open, tag.end);
            return tag.end;
        }
        // A link never holds another: a new one ends the one waiting to be
        // opened again, as the parser's adoption of it does.
        if (id == GUMBO_TAG_A)
            forgetDangling(id);
        if (formattingTags()[id] && m_dangling.size() >= size_t(DanglingFormattingLimit)) {
            drop(open, tag.end);
            return tag.end;
        }
        push(id, tag.name, false, open, tag.end);
        return tag.end;
    }

    // A raw text element is read whole, with its end tag.
    size_t rawText(GumboTag id, const Tag &tag, size_t open)
    {
        const size_t contentEnd = rawTextEnd(tag.end, tag.name);
        const size_t end = contentEnd < m_html.size() ? readTag(contentEnd + 2).end : m_html.size();
        if (tooDeep()) {
            drop(open, end);
        } else if (id == GUMBO_TAG_NOSCRIPT) {
            noscript(tag.end, contentEnd);
        }
        return end;
    }

    size_t rawTextEnd(size_t from, const std::string &name) const
    {
        for (size_t pos = m_html.find("</", from); pos != std::string_view::npos; pos = m_html.find("</", pos + 2)) {
            size_t i = 0;
            while (i < name.size() && lower(at(pos + 2 + i)) == name[i])
                ++i;
            const char after = at(pos + 2 + name.size());
            if (i == name.size() && (isAsciiSpace(after) || after == '/' || after == '>'))
                return pos;
        }
        return m_html.size();
    }

    // A browser that runs scripts reads what noscript holds as text. In the
    // head, where the parser puts no text, it is kept as a comment instead.
    void noscript(size_t begin, size_t end)
    {
        std::string replacement = m_inBody ? std::string() : std::string("<!--");
        for (const char c : m_html.substr(begin, end - begin)) {
            if (c == '<' && m_inBody)
                replacement += "&lt;";
            else if (c == '&' && m_inBody)
                replacement += "&amp;";
            else if (c == '>' && !m_inBody)
                replacement += "&gt;";
            else
                replacement += c;
        }
        if (!m_inBody)
            replacement += "-->";
        replace(begin, end, replacement);
    }

    size_t endTag(size_t open)
    {
        const Tag tag = readTag(open + 2);
        const GumboTag id = gumbo_tagn_enum(tag.name.data(), unsigned(tag.name.size()));
        if (id == GUMBO_TAG_HTML || id == GUMBO_TAG_BODY || id == GUMBO_TAG_BR)
            return tag.end;
        if (id == GUMBO_TAG_HEAD) {
            m_inBody = true;
            return tag.end;
        }
        const std::int32_t match = topmost(tag.name);
        if (match < 0) {
            forgetDangling(id);
            return tag.end;
        }
        const Open &top = m_open.back();
        std::int32_t floor = top.specialFloor;
        if (m_open[size_t(match)].foreignContent || inForeignContent())
            floor = 0;
        else if (id == GUMBO_TAG_TD || id == GUMBO_TAG_TH || id == GUMBO_TAG_TR || isSection(id)
                 || id == GUMBO_TAG_TABLE || id == GUMBO_TAG_CAPTION)
            floor = top.tableFloor;
        else if (specialTags()[id] || formattingTags()[id])
            floor = top.scopeFloor;
        if (match < floor)
            return tag.end;
        if (!m_open[size_t(match)].kept)
            drop(open, tag.end);
        popTo(match + 1);
        pop(false);
        return tag.end;
    }

    // The end tags a parser implies when this start tag arrives.
    void closeImplied(GumboTag id)
    {
        if (id == GUMBO_TAG_LI || id == GUMBO_TAG_DD || id == GUMBO_TAG_DT) {
            // The parser looks down to the nearest special element; so far
            // down only in markup that no longer matters.
            const size_t lowest = m_open.size() > ListItemReach ? m_open.size() - ListItemReach : 0;
            for (size_t i = m_open.size(); i-- > lowest;) {
                const GumboTag open = m_open[i].tag;
                if (open == id || (id != GUMBO_TAG_LI && (open == GUMBO_TAG_DD || open == GUMBO_TAG_DT))) {
                    popTo(std::int32_t(i));
                    break;
                }
                if (specialTags()[open] && open != GUMBO_TAG_ADDRESS && open != GUMBO_TAG_DIV && open != GUMBO_TAG_P)
                    break;
            }
        }
        if (closesParagraph()[id])
            closeParagraph();
        if (isHeading(id) && !m_open.empty() && isHeading(m_open.back().tag))
            pop();
        if (id == GUMBO_TAG_OPTION || id == GUMBO_TAG_OPTGROUP) {
            if (!m_open.empty() && m_open.back().tag == GUMBO_TAG_OPTION)
                pop();
            if (id == GUMBO_TAG_OPTGROUP && !m_open.empty() && m_open.back().tag == GUMBO_TAG_OPTGROUP)
                pop();
        }
        if (id == GUMBO_TAG_A || id == GUMBO_TAG_NOBR || id == GUMBO_TAG_BUTTON || id == GUMBO_TAG_SELECT) {
            const std::int32_t same = topmost(id);
            if (same >= 0 && same >= m_open.back().scopeFloor) {
                popTo(same + 1);
                pop(false);
            }
        }
        if (isCell(id) || id == GUMBO_TAG_TR || isSection(id) || id == GUMBO_TAG_TABLE)
            closeTablePart(id);
    }

    // A paragraph in button scope: no scope boundary or button above it.
    void closeParagraph()
    {
        const std::int32_t paragraph = topmost(GUMBO_TAG_P);
        if (paragraph >= 0 && paragraph >= m_open.back().scopeFloor && paragraph > topmost(GUMBO_TAG_BUTTON))
            popTo(paragraph);
    }

    // Cells, rows and sections close one another, and a table supplies the
    // section and row a cell needs.
    void closeTablePart(GumboTag id)
    {
        if (m_open.empty())
            return;
        if (id == GUMBO_TAG_TABLE) {
            // A table started right inside a table ends the first one.
            if (topTag() == GUMBO_TAG_TABLE || isSection(topTag()) || topTag() == GUMBO_TAG_TR)
                popTo(topmost(GUMBO_TAG_TABLE));
            return;
        }
        const std::int32_t table = m_open.back().tableFloor;
        for (GumboTag cell : {GUMBO_TAG_TD, GUMBO_TAG_TH}) {
            const std::int32_t open = topmost(cell);
            if (open > table)
                popTo(open);
        }
        if ((id == GUMBO_TAG_TR || isSection(id)) && topTag() == GUMBO_TAG_TR)
            pop();
        if (isSection(id) && isSection(topTag()))
            pop();
        if ((id == GUMBO_TAG_TR || isCell(id)) && topTag() == GUMBO_TAG_TABLE)
            push(GUMBO_TAG_TBODY, "tbody", false, 0, 0);
        if (isCell(id) && isSection(topTag()))
            push(GUMBO_TAG_TR, "tr", false, 0, 0);
    }

    GumboTag topTag() const { return m_open.empty() ? GUMBO_TAG_LAST : m_open.back().tag; }

    bool inForeignContent() const { return !m_open.empty() && m_open.back().foreignContent; }

    bool tooDeep() const { return m_open.size() + 1 >= size_t(MaximumNestingDepth); }

    std::uint32_t keyOf(GumboTag tag, const std::string &name)
    {
        if (tag != GUMBO_TAG_UNKNOWN)
            return std::uint32_t(tag);
        const auto next = std::uint32_t(GUMBO_TAG_LAST + 1 + m_unknownNames.size());
        return m_unknownNames.try_emplace(name, next).first->second;
    }

    std::int32_t topmost(GumboTag tag) const
    {
        const auto &positions = m_positions.size() > size_t(tag) ? m_positions[size_t(tag)] : m_none;
        return positions.empty() ? -1 : positions.back();
    }

    std::int32_t topmost(const std::string &name) const
    {
        const GumboTag tag = gumbo_tagn_enum(name.data(), unsigned(name.size()));
        if (tag != GUMBO_TAG_UNKNOWN)
            return topmost(tag);
        const auto known = m_unknownNames.find(name);
        if (known == m_unknownNames.end() || m_positions.size() <= known->second)
            return -1;
        const auto &positions = m_positions[known->second];
        return positions.empty() ? -1 : positions.back();
    }

    // Opens an element; one past the nesting limit is left out of the markup.
    void push(GumboTag tag, const std::string &name, bool foreign, size_t begin, size_t end)
    {
        const bool kept = !tooDeep();
        if (!kept && end > begin)
            drop(begin, end);
        if (tag != GUMBO_TAG_TEMPLATE) // the one element the head holds open
            m_inBody = true;
        const std::int32_t index = std::int32_t(m_open.size());
        const Open *below = m_open.empty() ? nullptr : &m_open.back();
        Open open{tag, keyOf(tag, name), foreign, kept, below ? below->scopeFloor : 0,
                  below ? below->specialFloor : 0, below ? below->tableFloor : 0, m_html.substr(begin, end - begin)};
        if (scopeBoundaries()[tag])
            open.scopeFloor = index;
        if (specialTags()[tag])
            open.specialFloor = index;
        if (tag == GUMBO_TAG_TABLE || tag == GUMBO_TAG_TEMPLATE)
            open.tableFloor = index;
        if (foreign && (name == "foreignobject" || name == "desc" || name == "title" || name == "mi"
                             || name == "mo" || name == "mn" || name == "ms" || name == "mtext"))
            open.foreignContent = false;
        if (m_positions.size() <= open.key)
            m_positions.resize(open.key + 1);
        if (!foreign && formattingMarkers()[tag]) {
            m_danglingOutside.push_back(std::move(m_dangling));
            m_dangling.clear();
        }
        m_positions[open.key].push_back(index);
        m_open.push_back(open);
    }

    // Closes the current element; unless by its own end tag, a formatting
    // element closed so waits to be opened again.
    void pop(bool implied = true)
    {
        const Open &top = m_open.back();
        if (!top.foreignContent && formattingMarkers()[top.tag] && !m_danglingOutside.empty()) {
            m_dangling = std::move(m_danglingOutside.back());
            m_danglingOutside.pop_back();
        } else if (implied && !top.foreignContent && formattingTags()[top.tag]) {
            addDangling(top.tag, top.startTag);
        }
        m_positions[top.key].pop_back();
        m_open.pop_back();
    }

    // The parser keeps no more than three alike.
    void addDangling(GumboTag tag, std::string_view startTag)
    {
        int alike = 0;
        for (const Dangling &dangling : m_dangling)
            alike += dangling.startTag == startTag ? 1 : 0;
        if (alike < 3)
            m_dangling.push_back({tag, startTag});
    }

    // An end tag for a formatting element that is no longer open ends the
    // wait of the last one of its kind.
    void forgetDangling(GumboTag tag)
    {
        if (!formattingTags()[tag])
            return;
        for (size_t i = m_dangling.size(); i-- > 0;) {
            if (m_dangling[i].tag == tag) {
                m_dangling.erase(m_dangling.begin() + std::ptrdiff_t(i));
                return;
            }
        }
    }

    void popTo(std::int32_t index)
    {
        while (index >= 0 && std::int32_t(m_open.size()) > index)
            pop();
    }

    void drop(size_t begin, size_t end) { replace(begin, end, {}); }

    void replace(size_t begin, size_t end, std::string_view replacement)
    {
        if (!m_changed) {
            m_out.reserve(m_html.size());
            m_changed = true;
        }
        m_out.append(m_html.substr(m_copied, begin - m_copied));
        m_out.append(replacement);
        m_copied = end;
    }

    std::string_view m_html;
    std::vector<Open> m_open;
    // For each tag and each other name met, where elements of it are open.
    std::vector<std::vector<std::int32_t>> m_positions;
    const std::vector<std::int32_t> m_none;
    std::unordered_map<std::string, std::uint32_t> m_unknownNames;
    std::vector<Dangling> m_dangling;
    // What the cells and other markers around hide of the list.
    std::vector<std::vector<Dangling>> m_danglingOutside;
    bool m_inBody = false;
    bool m_changed = false;
    std::string m_out;
    size_t m_copied = 0;
};

} // namespace

std::optional<std::string> guardMarkup(std::string_view html)
{
    return Guard(html).run();
}

std::optional<std::string> controlsAsReferences(std::string_view html)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::optional<std::string> written;
    size_t copied = 0;
    for (size_t pos = html.find('\xC2'); pos != std::string_view::npos && pos + 1 < html.size();
         pos = html.find('\xC2', pos + 1)) {
        const auto second = static_cast<unsigned char>(html[pos + 1]);
        if (second < 0x80 || second > 0x9F)
            continue;
        if (!written)
            written.emplace().reserve(html.size() + 64);
        written->append(html.substr(copied, pos - copied));
        written->append("&#x");
        written->push_back(Hex[second >> 4]);
        written->push_back(Hex[second & 0xF]);
        written->push_back(';');
        copied = pos + 2;
    }
    if (written)
        written->append(html.substr(copied));
    return written;
}

} // namespace pagrion::html
