#include "engine/html/textpresence.h"

#include <algorithm>
#include <bitset>
#include <cstring>
#include <vector>

#include "engine/html/htmltree.h"

namespace pagrion::html {

namespace {

// The characters the texts need, and which of them the page holds.
class Needed
{
public:
    // False when one of the texts needs no character at all.
    bool add(const QString &text)
    {
        std::vector<char32_t> chars;
        for (const char32_t c : text.toStdU32String()) {
            if (c != U' ' && c != U'\t' && c != U'\n')
                chars.push_back(c);
        }
        if (chars.empty())
            return false;
        m_chars.insert(m_chars.end(), chars.begin(), chars.end());
        m_texts.push_back(std::move(chars));
        return true;
    }

    void prepare()
    {
        std::sort(m_chars.begin(), m_chars.end());
        m_chars.erase(std::unique(m_chars.begin(), m_chars.end()), m_chars.end());
        m_found.assign(m_chars.size(), false);
        for (const char32_t c : m_chars) {
            if (c < m_plane.size())
                m_plane.set(c);
        }
    }

    // Marks a character of the page; true once some text has all it needs.
    bool meet(char32_t c)
    {
        if (c < m_plane.size() ? !m_plane.test(c) : !std::binary_search(m_chars.begin(), m_chars.end(), c))
            return false;
        const size_t index = size_t(std::lower_bound(m_chars.begin(), m_chars.end(), c) - m_chars.begin());
        if (m_found[index])
            return false;
        m_found[index] = true;
        return std::any_of(m_texts.begin(), m_texts.end(), [this](const std::vector<char32_t> &chars) {
            return std::all_of(chars.begin(), chars.end(), [this](char32_t c) {
                return m_found[size_t(std::lower_bound(m_chars.begin(), m_chars.end(), c) - m_chars.begin())];
            });
        });
    }

private:
    std::vector<std::vector<char32_t>> m_texts;
    std::vector<char32_t> m_chars; // sorted, each once
    std::vector<bool> m_found;
    std::bitset<0x10000> m_plane; // the needed characters of the basic plane
};

// Reads the characters of a text node, which the parser left as valid UTF-8,
// until `meet` is satisfied.
bool meetsAll(const char *text, Needed &needed)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const unsigned char *end = p + std::strlen(text);
    while (p < end) {
        const unsigned lead = *p;
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (end - p < length)
            break;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (int i = 1; i < length; ++i)
            c = (c << 6) | (p[i] & 0x3F);
        p += length;
        if (needed.meet(c))
            return true;
    }
    return false;
}

} // namespace

bool mayRenderAny(const GumboNode *root, const QStringList &texts)
{
    Needed needed;
    for (const QString &text : texts) {
        if (!needed.add(text))
            return true;
    }
    needed.prepare();
    // Template content is a fragment of its own, never rendered with the page.
    std::vector<const GumboNode *> pending{root};
    while (!pending.empty()) {
        const GumboNode *node = pending.back();
        pending.pop_back();
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
            if (meetsAll(node->v.text.text, needed))
                return true;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_DOCUMENT) {
            const GumboVector &children = childrenOf(node);
            for (unsigned i = children.length; i-- > 0;)
                pending.push_back(childAt(node, i));
        }
    }
    return false;
}

} // namespace pagrion::html
