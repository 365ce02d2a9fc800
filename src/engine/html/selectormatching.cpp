#include "engine/html/cssselector.h"

#include <algorithm>

namespace pagrion::html {

std::string_view elementName(const GumboNode *element, std::string &buffer)
{
    const GumboElement &e = element->v.element;
    if (e.tag != GUMBO_TAG_UNKNOWN)
        return gumbo_normalized_tagname(e.tag);
    buffer = lowerAscii(originalTagName(e));
    return buffer;
}

namespace {

enum class Match { Matches, FailsLocally, FailsAllSiblings, FailsCompletely };

const GumboNode *parentElement(const GumboNode *element)
{
    const GumboNode *parent = element->parent;
    return parent && isElement(parent) ? parent : nullptr;
}

const GumboNode *previousElement(const GumboNode *element)
{
    const GumboNode *parent = element->parent;
    if (!parent)
        return nullptr;
    for (unsigned i = element->index_within_parent; i-- > 0;) {
        const GumboNode *sibling = childAt(parent, i);
        if (sibling->type == GUMBO_NODE_ELEMENT)
            return sibling;
    }
    return nullptr;
}

bool sameName(const GumboNode *a, const GumboNode *b)
{
    std::string first;
    std::string second;
    return a->v.element.tag == b->v.element.tag && elementName(a, first) == elementName(b, second);
}

// The element's place among its element siblings, from 1, counting only
// those of its tag when ofType, from the last when fromEnd.
int placeAmongSiblings(const GumboNode *element, bool ofType, bool fromEnd)
{
    const GumboNode *parent = element->parent;
    if (!parent)
        return 1;
    const GumboVector &children = childrenOf(parent);
    int place = 1;
    const auto count = [&](unsigned i) {
        const GumboNode *sibling = childAt(parent, i);
        if (sibling->type == GUMBO_NODE_ELEMENT && (!ofType || sameName(sibling, element)))
            ++place;
    };
    if (fromEnd) {
        for (unsigned i = element->index_within_parent + 1; i < children.length; ++i)
            count(i);
    } else {
        for (unsigned i = 0; i < element->index_within_parent; ++i)
            count(i);
    }
    return place;
}

bool nthMatches(int a, int b, int place)
{
    if (a == 0)
        return place == b;
    const int steps = place - b;
    return steps % a == 0 && steps / a >= 0;
}

bool attributeMatches(const AttributeTest &test, const GumboElement &element)
{
    const char *found = attributeValue(element, test.name.c_str());
    if (!found)
        return false;
    if (test.op == AttributeTest::Op::Exists)
        return true;
    std::string value = found;
    std::string wanted = test.value;
    if (test.ignoreCase) {
        value = lowerAscii(value);
        wanted = lowerAscii(wanted);
    }
    const std::string_view v = value;
    switch (test.op) {
    case AttributeTest::Op::Exists: return true;
    case AttributeTest::Op::Equals: return v == wanted;
    case AttributeTest::Op::Includes: {
        bool any = false;
        forEachClass(v, [&](std::string_view word) { any = any || word == wanted; });
        return any && !wanted.empty();
    }
    case AttributeTest::Op::DashMatch:
        return v == wanted || (v.size() > wanted.size() && v.substr(0, wanted.size()) == wanted && v[wanted.size()] == '-');
    case AttributeTest::Op::Prefix: return !wanted.empty() && v.substr(0, wanted.size()) == wanted;
    case AttributeTest::Op::Suffix:
        return !wanted.empty() && v.size() >= wanted.size() && v.substr(v.size() - wanted.size()) == wanted;
    case AttributeTest::Op::Substring: return !wanted.empty() && v.find(wanted) != std::string_view::npos;
    }
    return false;
}

bool anyMatches(const std::vector<ComplexSelector> &selectors, const GumboNode *element)
{
    return std::any_of(selectors.begin(), selectors.end(),
                       [&](const ComplexSelector &selector) { return matches(selector, element); });
}

bool pseudoMatches(const PseudoTest &test, const GumboNode *element)
{
    const GumboElement &e = element->v.element;
    const bool html = e.tag_namespace == GUMBO_NAMESPACE_HTML;
    switch (test.kind) {
    case PseudoTest::Kind::Never: return false;
    case PseudoTest::Kind::Nth: return nthMatches(test.a, test.b, placeAmongSiblings(element, test.ofType, test.fromEnd));
    case PseudoTest::Kind::Root: return element->parent && element->parent->type == GUMBO_NODE_DOCUMENT;
    case PseudoTest::Kind::Empty:
        for (unsigned i = 0; i < e.children.length; ++i) {
            const GumboNode *child = childAt(element, i);
            if (child->type != GUMBO_NODE_COMMENT)
                return false;
        }
        return true;
    case PseudoTest::Kind::Link:
        return html && (e.tag == GUMBO_TAG_A || e.tag == GUMBO_TAG_AREA) && attributeValue(e, "href");
    case PseudoTest::Kind::Checked:
        return html
            && (((e.tag == GUMBO_TAG_INPUT) && attributeValue(e, "checked"))
                || (e.tag == GUMBO_TAG_OPTION && attributeValue(e, "selected")));
    case PseudoTest::Kind::Disabled:
    case PseudoTest::Kind::Enabled: {
        const bool control = html
            && (e.tag == GUMBO_TAG_INPUT || e.tag == GUMBO_TAG_BUTTON || e.tag == GUMBO_TAG_SELECT
                || e.tag == GUMBO_TAG_TEXTAREA || e.tag == GUMBO_TAG_OPTION || e.tag == GUMBO_TAG_FIELDSET);
        if (!control)
            return false;
        const bool disabled = attributeValue(e, "disabled") != nullptr;
        return test.kind == PseudoTest::Kind::Disabled ? disabled : !disabled;
    }
    case PseudoTest::Kind::Not: return !anyMatches(test.selectors, element);
    case PseudoTest::Kind::Is: return anyMatches(test.selectors, element);
    }
    return false;
}

bool compoundMatches(const CompoundSelector &part, const GumboNode *element)
{
    const GumboElement &e = element->v.element;
    if (!part.tag.empty()) {
        std::string buffer;
        if (elementName(element, buffer) != part.tag)
            return false;
    }
    if (!part.id.empty()) {
        const char *id = attributeValue(e, "id");
        if (!id || part.id != id)
            return false;
    }
    if (!part.classes.empty()) {
        const char *classes = attributeValue(e, "class");
        if (!classes)
            return false;
        for (const std::string &wanted : part.classes) {
            bool found = false;
            forEachClass(classes, [&](std::string_view name) { found = found || name == wanted; });
            if (!found)
                return false;
        }
    }
    return std::all_of(part.attributes.begin(), part.attributes.end(),
                       [&](const AttributeTest &test) { return attributeMatches(test, e); })
        && std::all_of(part.pseudos.begin(), part.pseudos.end(),
                       [&](const PseudoTest &test) { return pseudoMatches(test, element); });
}

// Right to left, as browsers match: an element that fails a compound tells
// how far the failure reaches, so a selector of many descendant steps does
// not try every ancestor again for every way of matching the ones after it.
Match matchFrom(const ComplexSelector &selector, size_t index, const GumboNode *element)
{
    if (!compoundMatches(selector.compounds[index], element))
        return Match::FailsLocally;
    if (index == 0)
        return Match::Matches;
    switch (selector.combinators[index - 1]) {
    case '>': {
        const GumboNode *parent = parentElement(element);
        return parent ? matchFrom(selector, index - 1, parent) : Match::FailsCompletely;
    }
    case '+': {
        const GumboNode *previous = previousElement(element);
        return previous ? matchFrom(selector, index - 1, previous) : Match::FailsAllSiblings;
    }
    case '~':
        for (const GumboNode *previous = previousElement(element); previous; previous = previousElement(previous)) {
            const Match match = matchFrom(selector, index - 1, previous);
            if (match != Match::FailsLocally)
                return match;
        }
        return Match::FailsAllSiblings;
    default:
        for (const GumboNode *ancestor = parentElement(element); ancestor; ancestor = parentElement(ancestor)) {
            const Match match = matchFrom(selector, index - 1, ancestor);
            if (match == Match::Matches || match == Match::FailsCompletely)
                return match;
        }
        return Match::FailsCompletely;
    }
}

} // namespace

bool matches(const ComplexSelector &selector, const GumboNode *element)
{
    return !selector.compounds.empty() && matchFrom(selector, selector.compounds.size() - 1, element) == Match::Matches;
}

} // namespace pagrion::html
