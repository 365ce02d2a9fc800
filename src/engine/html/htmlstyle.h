#pragma once

#include <cstdint>
#include <optional>

#include <gumbo.h>

namespace pagrion::html {

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

// The case a text is shown in, whatever it is written in.
enum class TextTransform : std::uint8_t { None, Upper, Lower, Capitalize };

struct Style
{
    Style(Box box = Box::Inline, bool replaced = false, std::optional<bool> preserveSpace = {})
        : box(box), replaced(replaced), atomic(replaced), preserveSpace(preserveSpace)
    {
    }

    Box box;
    // Images, controls and embedded frames are shown, but not their children.
    bool replaced;
    // Sits in its line as one piece of content, as images and icons do, so
    // the spaces on either side of it stay apart.
    bool atomic;
    // Unset: inherited from the parent.
    std::optional<bool> preserveSpace;
    // Invisible content keeps its place on the page but gives no text; unset: inherited.
    std::optional<bool> visible;
    // Unset: inherited.
    std::optional<TextTransform> transform;
};

class AuthorStyles;

// The element's display: the usual display of its tag and the hidden
// attribute, under the display, visibility, white-space, float, position and
// text-transform the page's style sheets and the element's own style
// attribute give it.
Style styleOf(const GumboNode *element, const AuthorStyles *authorStyles = nullptr);

} // namespace pagrion::html
