#include "engine/html/htmlserializer.h"

#include <string_view>
#include <vector>

#include "engine/html/htmltagsets.h"
#include "engine/html/htmltree.h"

namespace pagrion::html {

namespace {

void appendEscaped(std::string &out, std::string_view text, bool inAttribute)
{
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (inAttribute && c == '"')
            out += "&quot;";
        else if (!inAttribute && c == '<')
            out += "&lt;";
        else if (!inAttribute && c == '>')
            out += "&gt;";
        else
            out += c;
    }
}

// Text in these elements is written as it is: the parser reads it up to the
// element's end tag without reading references.
bool holdsLiteralText(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return false;
    switch (node->v.element.tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT:
        return true;
    default:
        return false;
    }
}

std::string_view tagName(const GumboElement &element)
{
    if (element.tag == GUMBO_TAG_UNKNOWN)
        return originalTagName(element);
    return gumbo_normalized_tagname(element.tag);
}

std::string_view attributeName(const GumboAttribute &attribute, std::string &buffer)
{
    const char *prefix = nullptr;
    switch (attribute.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
        prefix = "xlink:";
        break;
    case GUMBO_ATTR_NAMESPACE_XML:
        prefix = "xml:";
        break;
    case GUMBO_ATTR_NAMESPACE_XMLNS:
        // xmlns itself has no prefix of its own.
        if (std::string_view(attribute.name) != "xmlns")
            prefix = "xmlns:";
        break;
    case GUMBO_ATTR_NAMESPACE_NONE:
        break;
    }
    if (!prefix)
        return attribute.name;
    buffer.assign(prefix).append(attribute.name);
    return buffer;
}

void appendStartTag(std::string &out, const GumboNode *node)
{
    const GumboElement &element = node->v.element;
    out += '<';
    out += tagName(element);
    std::string prefixed;
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto *attribute = static_cast<const GumboAttribute *>(element.attributes.data[i]);
        out += ' ';
        out += attributeName(*attribute, prefixed);
        out += "=\"";
        appendEscaped(out, attribute->value, true);
        out += '"';
    }
    out += '>';
    // The parser drops a line feed right after these start tags: one the
    // content begins with must be written twice to survive.
    const bool dropsLineFeed = element.tag_namespace == GUMBO_NAMESPACE_HTML
        && (element.tag == GUMBO_TAG_PRE || element.tag == GUMBO_TAG_TEXTAREA || element.tag == GUMBO_TAG_LISTING);
    if (dropsLineFeed && element.children.length > 0) {
        const GumboNode *first = childAt(node, 0);
        if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) && first->v.text.text[0] == '\n')
            out += '\n';
    }
}

void appendDoctype(std::string &out, const GumboDocument &document)
{
    if (!document.has_doctype)
        return;
    out += "<!DOCTYPE ";
    out += document.name;
    const std::string_view publicId = document.public_identifier;
    const std::string_view systemId = document.system_identifier;
    if (!publicId.empty()) {
        out.append(" PUBLIC \"").append(publicId).append("\"");
        if (!systemId.empty())
            out.append(" \"").append(systemId).append("\"");
    } else if (!systemId.empty()) {
        out.append(" SYSTEM \"").append(systemId).append("\"");
    }
    out += '>';
}

} // namespace

std::string serializedHtml(const GumboNode *document)
{
    std::string out;
    appendDoctype(out, document->v.document);
    // Each node is visited twice: entering writes it or its start tag,
    // leaving writes an element's end tag.
    std::vector<std::pair<const GumboNode *, bool>> pending;
    const auto pushChildren = [&pending](const GumboNode *node) {
        const GumboVector &children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;)
            pending.emplace_back(static_cast<const GumboNode *>(children.data[i]), false);
    };
    pushChildren(document);
    while (!pending.empty()) {
        const auto [node, leaving] = pending.back();
        pending.pop_back();
        switch (node->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            if (leaving) {
                out.append("</").append(tagName(node->v.element)).append(">");
            } else {
                appendStartTag(out, node);
                if (node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML && voidTags()[node->v.element.tag])
                    break;
                pending.emplace_back(node, true);
                pushChildren(node);
            }
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
            if (node->parent && holdsLiteralText(node->parent))
                out += node->v.text.text;
            else
                appendEscaped(out, node->v.text.text, false);
            break;
        case GUMBO_NODE_CDATA:
            out.append("<![CDATA[").append(node->v.text.text).append("]]>");
            break;
        case GUMBO_NODE_COMMENT:
            out.append("<!--").append(node->v.text.text).append("-->");
            break;
        case GUMBO_NODE_DOCUMENT:
            break;
        }
    }
    return out;
}

} // namespace pagrion::html
