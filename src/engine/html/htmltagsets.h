#pragma once

#include <array>

#include <gumbo.h>

namespace pagrion::html {

// Sets of HTML tags as the parser's rules name them, indexed by tag.
using TagSet = std::array<bool, GUMBO_TAG_LAST + 1>;

const TagSet &voidTags();
const TagSet &rawTextTags();
// Start tags that end a paragraph left open.
const TagSet &closesParagraph();
const TagSet &specialTags();
const TagSet &scopeBoundaries();
const TagSet &foreignBreakouts();
const TagSet &formattingTags();
const TagSet &formattingMarkers();

} // namespace pagrion::html
