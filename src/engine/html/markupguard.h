#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pagrion::html {

// Elements nested deeper than this are not kept as elements, as in Chromium,
// which stops nesting there; their text stays with the element at the limit.
// It also keeps the parser, whose cost grows with the depth of the elements
// left open, fast on pages that never close their tags.
constexpr int MaximumNestingDepth = 512;

// The page's markup as the parser should see it, or nullopt when it needs no
// change: what a noscript element holds becomes its text, as in a browser
// that runs scripts, and elements past the nesting limit are left out.
//
// The nesting is followed with the parser's usual rules for tags a page
// leaves open (paragraphs, list items, cells and rows, options), closely
// enough that no ordinary page comes near the limit.
std::optional<std::string> guardMarkup(std::string_view html);

// The markup with the control characters U+0080 to U+009F written as
// character references, or nullopt when it has none: the parser would
// replace them, where browsers keep them.
std::optional<std::string> controlsAsReferences(std::string_view html);

} // namespace pagrion::html
