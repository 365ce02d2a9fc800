#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/html/cssselector.h"

namespace pagrion {
class WorkBudget;
} // namespace pagrion

namespace pagrion::html {

// The properties that change what an element's text holds.
enum class StyleProperty : std::uint8_t { Display, Visibility, WhiteSpace, Float, Position };

struct StyleDeclaration
{
    StyleProperty property;
    std::string value; // lower case, without !important
    bool important = false;
};

using Declarations = std::vector<StyleDeclaration>;

// One selector of a rule with the rule's declarations; `order` places the
// rule among all the page's rules, later ones winning ties.
struct StyleRule
{
    ComplexSelector selector;
    std::shared_ptr<const Declarations> declarations;
    std::uint32_t order = 0;
};

// The screen pages are read on, for media queries: the full browser's.
constexpr int ScreenWidthPx = 1280;
constexpr int ScreenHeightPx = 1024;

// A page's sheets are read up to this many rules (a selector list counts
// one rule per selector): the largest frameworks hold a tenth of it, and a
// page of millions would otherwise take gigabytes.
constexpr size_t MaxStyleRules = 100'000;

// Appends the rules of a style sheet that set any of the properties above,
// numbering them on from `order`. Rules under @media apply when the query
// holds for the screen; @supports and @layer blocks are read as plain rules;
// other at-rules are left out, as is anything that is not valid CSS, the
// way browsers skip it. Rules past MaxStyleRules are left out. Raises
// WorkEnded when the budget runs out.
void appendStyleRules(std::string_view css, std::vector<StyleRule> &rules, std::uint32_t &order,
                      const WorkBudget *budget = nullptr);

// The declarations of a style attribute, or of a rule's block.
Declarations parseDeclarations(std::string_view css);

// Whether a media query list holds for the screen.
bool mediaQueryHolds(std::string_view query);

} // namespace pagrion::html
