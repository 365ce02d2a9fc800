#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <gumbo.h>

#include "engine/html/stylesheet.h"

namespace pagrion {
class WorkBudget;
} // namespace pagrion

namespace pagrion::html {

// The declarations of the page's style sheets that reach one element, in
// the order the cascade applies them: by specificity, then by place in the
// page. Important ones come after the element's own style attribute.
struct MatchedDeclarations
{
    std::vector<const StyleDeclaration *> normal;
    std::vector<const StyleDeclaration *> important;
};

// What the page's own style sheets say of each element, matched once when
// the page is built, so reading its text costs a lookup per element.
class AuthorStyles final
{
public:
    AuthorStyles() = default;
    // Matches every rule against every element below root. Raises
    // WorkEnded when the budget runs out.
    AuthorStyles(std::vector<StyleRule> rules, const GumboNode *root, const WorkBudget *budget);

    // Null when no rule reaches the element.
    const MatchedDeclarations *of(const GumboNode *element) const;

private:
    template <typename Index, typename Filter>
    void match(const GumboNode *element, const Index &index, const Filter &filter, std::vector<size_t> &found,
               const WorkBudget *budget);

    std::vector<StyleRule> m_rules;
    std::unordered_map<const GumboNode *, MatchedDeclarations> m_matched;
};

// The sheet a <link rel="stylesheet"> element names, or nullopt when it is
// not at hand.
using LinkedSheet = std::function<std::optional<SheetText>(const GumboNode *link)>;

// The rules of the page's <style> elements and of the linked and imported
// sheets at hand, in page order. A sheet for another medium (media="print")
// is left out, as browsers do.
std::vector<StyleRule> pageStyleRules(const GumboNode *root, const LinkedSheet &linked, const ImportedSheet &imported,
                                      const WorkBudget *budget);

// Whether the element is a <style> element the page uses, and the sheet it
// holds.
bool isPageStyleElement(const GumboNode *element);
std::string styleElementText(const GumboNode *element);

// Whether the element links a style sheet the page uses, and where to (the
// href attribute as written).
const char *styleSheetLink(const GumboNode *element);

} // namespace pagrion::html
