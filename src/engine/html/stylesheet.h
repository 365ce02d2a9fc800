#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/html/cssselector.h"

namespace pagrion {
class WorkBudget;
} // namespace pagrion

namespace pagrion::html {

// The properties that change what an element's text holds.
enum class StyleProperty : std::uint8_t { Display, Visibility, WhiteSpace, Float, Position, TextTransform };

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

// A sheet as the page has it: its text and its own address, which the
// addresses its @import rules name are relative to.
struct SheetText
{
    const std::string *css = nullptr;
    std::string address;
};

// The sheet an @import rule names: `href` as written, relative to `base`,
// the address of the sheet that holds the rule (empty for a style element,
// whose imports are relative to the page). Nullopt when it is not at hand.
using ImportedSheet = std::function<std::optional<SheetText>(std::string_view base, std::string_view href)>;

// How far a page's imports are followed: a chain of sheets importing one
// another this deep, and this many imported sheets in all, are more than
// any site uses, and a sheet importing itself or another many times over
// must not multiply the work.
constexpr int MaxImportDepth = 8;
constexpr int MaxImportedSheets = 256;

// The page's rules so far, as its sheets are read one after another.
struct StyleRuleList
{
    std::vector<StyleRule> rules;
    std::uint32_t order = 0; // the place of the next rule
    int imports = 0;         // the imported sheets read so far
};

// Appends the rules of a style sheet that set any of the properties above.
// Rules under @media apply when the query holds for the screen; @supports
// and @layer blocks are read as plain rules. An @import ahead of the sheet's
// other rules brings in the rules of the sheet it names, where it stands,
// when that sheet is at hand and its media query holds. Other at-rules are
// left out, as is anything that is not valid CSS, the way browsers skip it.
// Rules past MaxStyleRules are left out. Raises WorkEnded when the budget
// runs out.
void appendStyleRules(std::string_view css, StyleRuleList &list, const WorkBudget *budget = nullptr,
                      const ImportedSheet &imported = {}, std::string_view address = {});

// The addresses, as written, of the sheets a style sheet's @import rules
// name for the screen, in order.
std::vector<std::string> styleSheetImports(std::string_view css);

// The declarations of a style attribute, or of a rule's block.
Declarations parseDeclarations(std::string_view css);

// Whether a media query list holds for the screen.
bool mediaQueryHolds(std::string_view query);

} // namespace pagrion::html
