#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gumbo.h>

#include "engine/html/htmltree.h"

namespace pagrion::html {

struct ComplexSelector;

// [name], [name=value] and the other attribute tests.
struct AttributeTest
{
    enum class Op : std::uint8_t { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };
    std::string name; // lower case
    Op op = Op::Exists;
    std::string value;
    bool ignoreCase = false;
};

// A pseudo-class. What depends on the reader (hover, focus, visited) never
// matches: a page is read as loaded, untouched.
struct PseudoTest
{
    enum class Kind : std::uint8_t {
        Never,
        Nth, // :nth-child and the rest: a and b of an+b, counted as below
        Root,
        Empty,
        Link,
        Checked,
        Disabled,
        Enabled,
        Not,
        Is,
    };
    Kind kind = Kind::Never;
    int a = 0;
    int b = 0;
    bool ofType = false;   // counts only siblings of the same tag
    bool fromEnd = false;  // counts from the last sibling
    std::vector<ComplexSelector> selectors; // of :not() and :is()
};

// Everything between two combinators: `div.menu[hidden]:first-child`.
struct CompoundSelector
{
    std::string tag; // lower case; empty for any element
    std::string id;
    std::vector<std::string> classes;
    std::vector<AttributeTest> attributes;
    std::vector<PseudoTest> pseudos;
};

// (ids, classes and the like, types) compared in that order.
using Specificity = std::array<std::uint32_t, 3>;

// Compounds joined by combinators, left to right: combinators[i] joins
// compounds[i] and compounds[i + 1] and is one of ' ', '>', '+' and '~'.
struct ComplexSelector
{
    std::vector<CompoundSelector> compounds;
    std::vector<char> combinators;
    Specificity specificity{};
};

// The selectors of a selector list, or nullopt when the list is not valid
// CSS, which drops the whole rule as browsers do. A selector of a pseudo
// element (::before) styles no element and is left out of the list.
// Only the first keepAtMost selectors are kept; the rest are still read,
// since one that is not valid drops them all.
std::optional<std::vector<ComplexSelector>> parseSelectorList(std::string_view text,
                                                              size_t keepAtMost = size_t(-1));

// Whether the element matches, as browsers decide it.
bool matches(const ComplexSelector &selector, const GumboNode *element);

// The element's name as type selectors compare it: lower case.
std::string_view elementName(const GumboNode *element, std::string &buffer);

// Calls take(name) for each class in a class attribute.
template <typename Take>
void forEachClass(std::string_view classes, const Take &take)
{
    size_t at = 0;
    while (at < classes.size()) {
        while (at < classes.size() && isAsciiSpace(classes[at]))
            ++at;
        size_t end = at;
        while (end < classes.size() && !isAsciiSpace(classes[end]))
            ++end;
        if (end > at)
            take(classes.substr(at, end - at));
        at = end;
    }
}

} // namespace pagrion::html
