#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gumbo.h>

namespace pagrion::html {

// Small readers of the parsed tree, shared by the document's queries, its
// style rules and its text.

inline bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimAscii(std::string_view text);
std::string lowerAscii(std::string_view text);

inline const GumboVector &childrenOf(const GumboNode *node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

inline const GumboNode *childAt(const GumboNode *node, unsigned index)
{
    return static_cast<const GumboNode *>(childrenOf(node).data[index]);
}

inline bool isElement(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

// An element of the HTML namespace with this tag (SVG has its own title).
inline bool isHtml(const GumboNode *node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag
        && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const char *attributeValue(const GumboElement &element, const char *name);
std::string_view originalTagName(const GumboElement &element);

// Calls visit(node) for the node and every element below it in document
// order, without recursion: pages nest deeper than any call stack allows.
// A template's content is a fragment of its own that the document's
// collections do not reach, so the walk does not enter it.
template <typename Visit>
void forEachElement(const GumboNode *root, const Visit &visit)
{
    std::vector<const GumboNode *> pending{root};
    while (!pending.empty()) {
        const GumboNode *node = pending.back();
        pending.pop_back();
        if (isElement(node))
            visit(node);
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT)
            continue;
        const GumboVector &children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;) {
            const auto *child = static_cast<const GumboNode *>(children.data[i]);
            if (isElement(child))
                pending.push_back(child);
        }
    }
}

template <typename Visit>
void forEachChildElement(const GumboNode *node, const Visit &visit)
{
    const GumboVector &children = childrenOf(node);
    for (unsigned i = 0; i < children.length; ++i) {
        const GumboNode *child = childAt(node, i);
        if (child->type == GUMBO_NODE_ELEMENT)
            visit(child);
    }
}

} // namespace pagrion::html
