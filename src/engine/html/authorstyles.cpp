#include "engine/html/authorstyles.h"

#include <algorithm>
#include <string_view>

#include "core/workbudget.h"
#include "engine/html/htmltree.h"

namespace pagrion::html {

namespace {

// A tag, id or class, hashed for the ancestor filter.
std::uint32_t keyHash(char kind, std::string_view name)
{
    std::uint32_t hash = 2166136261u ^ std::uint8_t(kind);
    for (const char c : name)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return hash;
}

template <typename Take>
void forEachKey(const GumboNode *element, const Take &take)
{
    const GumboElement &e = element->v.element;
    std::string buffer;
    take(keyHash('t', elementName(element, buffer)));
    if (const char *id = attributeValue(e, "id"))
        take(keyHash('#', id));
    if (const char *classes = attributeValue(e, "class"))
        forEachClass(classes, [&](std::string_view name) { take(keyHash('.', name)); });
}

// The tags, ids and classes of the elements around the one being matched,
// counted, the way browsers keep an ancestor filter: a rule that needs an
// ancestor none of them has is passed over without walking up the tree.
class AncestorFilter
{
public:
    void add(std::uint32_t key) { ++m_counts[key]; }
    void remove(std::uint32_t key)
    {
        if (const auto found = m_counts.find(key); found != m_counts.end() && --found->second == 0)
            m_counts.erase(found);
    }
    bool mayHave(std::uint32_t key) const { return m_counts.contains(key); }

    template <typename Take>
    void forEachKey(const Take &take) const
    {
        for (const auto &[key, count] : m_counts)
            take(key);
    }

private:
    std::unordered_map<std::uint32_t, int> m_counts;
};

// What a rule needs of the subject's ancestors: the keys of every compound
// joined to the one after it as its ancestor (by a space or `>`).
std::vector<std::uint32_t> ancestorKeys(const ComplexSelector &selector)
{
    std::vector<std::uint32_t> keys;
    for (size_t i = 0; i + 1 < selector.compounds.size(); ++i) {
        if (selector.combinators[i] != ' ' && selector.combinators[i] != '>')
            continue;
        const CompoundSelector &part = selector.compounds[i];
        if (!part.id.empty())
            keys.push_back(keyHash('#', part.id));
        for (const std::string &name : part.classes)
            keys.push_back(keyHash('.', name));
        if (!part.tag.empty())
            keys.push_back(keyHash('t', part.tag));
    }
    return keys;
}

const std::uint32_t AnyElement = keyHash('*', {});

// Rules filed under what their last compound needs most narrowly (an id, a
// class, a tag), the way browsers keep them, and a rule that needs an
// ancestor also under one key that ancestor has: an element is tried only
// against rules that can match it, with the ancestors it has. A page of ten
// thousand `.menu p` rules so costs each paragraph a lookup per ancestor
// key, not a test per rule.
struct RuleIndex
{
    std::unordered_map<std::uint32_t, std::vector<size_t>> bySubject;
    std::unordered_map<std::uint64_t, std::vector<size_t>> bySubjectAndAncestor;
    std::vector<std::vector<std::uint32_t>> ancestors; // by rule

    static std::uint64_t pair(std::uint32_t subject, std::uint32_t ancestor)
    {
        return (std::uint64_t(subject) << 32) | ancestor;
    }

    explicit RuleIndex(const std::vector<StyleRule> &rules)
    {
        ancestors.reserve(rules.size());
        for (size_t i = 0; i < rules.size(); ++i) {
            const CompoundSelector &last = rules[i].selector.compounds.back();
            const std::uint32_t subject = !last.id.empty() ? keyHash('#', last.id)
                : !last.classes.empty()                    ? keyHash('.', last.classes.front())
                : !last.tag.empty()                        ? keyHash('t', last.tag)
                                                           : AnyElement;
            std::vector<std::uint32_t> needed = ancestorKeys(rules[i].selector);
            if (needed.empty()) {
                bySubject[subject].push_back(i);
            } else {
                // An id or a class narrows more than a tag does.
                const auto narrow = std::find_if(needed.begin(), needed.end(), [](std::uint32_t key) {
                    return key != keyHash('t', "html") && key != keyHash('t', "body");
                });
                bySubjectAndAncestor[pair(subject, narrow != needed.end() ? *narrow : needed.front())].push_back(i);
            }
            ancestors.push_back(std::move(needed));
        }
    }

    template <typename Take>
    void forCandidates(const GumboNode *element, const AncestorFilter &filter, const Take &take) const
    {
        std::vector<std::uint32_t> subjects{AnyElement};
        forEachKey(element, [&](std::uint32_t key) { subjects.push_back(key); });
        const auto tryRule = [&](size_t i) {
            const std::vector<std::uint32_t> &keys = ancestors[i];
            if (std::all_of(keys.begin(), keys.end(), [&](std::uint32_t key) { return filter.mayHave(key); }))
                take(i);
        };
        for (const std::uint32_t subject : subjects) {
            if (const auto found = bySubject.find(subject); found != bySubject.end()) {
                for (size_t i : found->second)
                    take(i);
            }
        }
        if (bySubjectAndAncestor.empty())
            return;
        filter.forEachKey([&](std::uint32_t ancestor) {
            for (const std::uint32_t subject : subjects) {
                if (const auto found = bySubjectAndAncestor.find(pair(subject, ancestor));
                    found != bySubjectAndAncestor.end()) {
                    for (size_t i : found->second)
                        tryRule(i);
                }
            }
        });
    }
};

} // namespace

AuthorStyles::AuthorStyles(std::vector<StyleRule> rules, const GumboNode *root, const WorkBudget *budget)
    : m_rules(std::move(rules))
{
    if (m_rules.empty())
        return;
    const RuleIndex index(m_rules);
    AncestorFilter filter;
    std::vector<size_t> found;
    // Depth first without recursion, each element's keys counted while its
    // descendants are matched. A template's content is not the page's.
    std::vector<std::pair<const GumboNode *, bool>> pending{{root, false}};
    while (!pending.empty()) {
        const auto [node, leaving] = pending.back();
        pending.pop_back();
        if (leaving) {
            forEachKey(node, [&](std::uint32_t key) { filter.remove(key); });
            continue;
        }
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) {
            if (node->type == GUMBO_NODE_TEMPLATE)
                match(node, index, filter, found, budget);
            continue;
        }
        if (node->type == GUMBO_NODE_ELEMENT) {
            match(node, index, filter, found, budget);
            forEachKey(node, [&](std::uint32_t key) { filter.add(key); });
            pending.emplace_back(node, true);
        }
        const GumboVector &children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;)
            pending.emplace_back(static_cast<const GumboNode *>(children.data[i]), false);
    }
}

template <typename Index, typename Filter>
void AuthorStyles::match(const GumboNode *element, const Index &index, const Filter &filter, std::vector<size_t> &found,
                         const WorkBudget *budget)
{
    checkWork(budget);
    found.clear();
    index.forCandidates(element, filter, [&](size_t i) {
        if (matches(m_rules[i].selector, element))
            found.push_back(i);
    });
    if (found.empty())
        return;
    // A class written twice on an element finds its rules twice.
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::sort(found.begin(), found.end(), [&](size_t a, size_t b) {
        const StyleRule &first = m_rules[a];
        const StyleRule &second = m_rules[b];
        if (first.selector.specificity != second.selector.specificity)
            return first.selector.specificity < second.selector.specificity;
        return first.order < second.order;
    });
    MatchedDeclarations &matched = m_matched[element];
    for (size_t i : found) {
        for (const StyleDeclaration &declaration : *m_rules[i].declarations)
            (declaration.important ? matched.important : matched.normal).push_back(&declaration);
    }
}

const MatchedDeclarations *AuthorStyles::of(const GumboNode *element) const
{
    const auto found = m_matched.find(element);
    return found == m_matched.end() ? nullptr : &found->second;
}

namespace {

// A browser that runs scripts reads what noscript holds as text, so a
// style element there styles nothing.
bool insideNoscript(const GumboNode *node)
{
    for (const GumboNode *parent = node->parent; parent; parent = parent->parent) {
        if (isHtml(parent, GUMBO_TAG_NOSCRIPT))
            return true;
    }
    return false;
}

} // namespace

const char *styleSheetLink(const GumboNode *element)
{
    if (!isHtml(element, GUMBO_TAG_LINK) || insideNoscript(element))
        return nullptr;
    const GumboElement &e = element->v.element;
    const char *rel = attributeValue(e, "rel");
    const char *href = attributeValue(e, "href");
    if (!rel || !href || attributeValue(e, "disabled"))
        return nullptr;
    bool sheet = false;
    bool alternate = false;
    forEachClass(rel, [&](std::string_view word) {
        const std::string lower = lowerAscii(word);
        sheet = sheet || lower == "stylesheet";
        alternate = alternate || lower == "alternate";
    });
    const char *media = attributeValue(e, "media");
    if (!sheet || alternate || (media && !mediaQueryHolds(media)))
        return nullptr;
    return href;
}

std::vector<StyleRule> pageStyleRules(const GumboNode *root, const LinkedSheet &linked, const ImportedSheet &imported,
                                      const WorkBudget *budget)
{
    StyleRuleList list;
    forEachElement(root, [&](const GumboNode *element) {
        if (linked && styleSheetLink(element)) {
            if (const std::optional<SheetText> sheet = linked(element); sheet && sheet->css)
                appendStyleRules(*sheet->css, list, budget, imported, sheet->address);
            return;
        }
        if (isPageStyleElement(element))
            appendStyleRules(styleElementText(element), list, budget, imported);
    });
    return std::move(list.rules);
}

bool isPageStyleElement(const GumboNode *element)
{
    // SVG's style elements are style sheets of the page too.
    if (element->type != GUMBO_NODE_ELEMENT || element->v.element.tag != GUMBO_TAG_STYLE || insideNoscript(element))
        return false;
    const char *media = attributeValue(element->v.element, "media");
    return !media || mediaQueryHolds(media);
}

std::string styleElementText(const GumboNode *element)
{
    std::string css;
    const GumboVector &children = element->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const GumboNode *child = childAt(element, i);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA || child->type == GUMBO_NODE_WHITESPACE)
            css += child->v.text.text;
    }
    return css;
}

} // namespace pagrion::html
