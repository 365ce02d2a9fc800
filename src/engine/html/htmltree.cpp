#include "engine/html/htmltree.h"

#include <algorithm>

namespace pagrion::html {

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

std::string_view originalTagName(const GumboElement &element)
{
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    return {piece.data, piece.length};
}

} // namespace pagrion::html
