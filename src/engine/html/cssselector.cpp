#include "engine/html/cssselector.h"

#include <algorithm>

namespace pagrion::html {

namespace {

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Reads selector text left to right. Class names of utility frameworks are
// full of escapes (`.md\:hidden`), so identifiers decode them.
class SelectorReader
{
public:
    explicit SelectorReader(std::string_view text) : m_text(text) {}

    std::optional<std::vector<ComplexSelector>> list(size_t keepAtMost = size_t(-1))
    {
        std::vector<ComplexSelector> selectors;
        bool valid = true;
        while (valid) {
            skipSpaces();
            bool pseudoElement = false;
            std::optional<ComplexSelector> selector = complex(pseudoElement);
            skipSpaces();
            if (!selector || !(atEnd() || peek() == ',' || peek() == ')'))
                return std::nullopt;
            if (!pseudoElement && selectors.size() < keepAtMost)
                selectors.push_back(std::move(*selector));
            if (atEnd() || peek() == ')')
                break;
            ++m_at; // the comma
        }
        return selectors;
    }

    bool atEnd() const { return m_at >= m_text.size(); }
    char peek() const { return m_text[m_at]; }

private:
    std::optional<ComplexSelector> complex(bool &pseudoElement)
    {
        ComplexSelector selector;
        for (;;) {
            std::optional<CompoundSelector> part = compound(selector.specificity, pseudoElement);
            if (!part)
                return std::nullopt;
            selector.compounds.push_back(std::move(*part));
            const bool spaced = skipSpaces();
            if (atEnd() || peek() == ',' || peek() == ')')
                return selector;
            char combinator = ' ';
            if (peek() == '>' || peek() == '+' || peek() == '~') {
                combinator = peek();
                ++m_at;
                skipSpaces();
            } else if (!spaced) {
                return std::nullopt;
            }
            // Nothing may follow a pseudo-element.
            if (pseudoElement)
                return std::nullopt;
            selector.combinators.push_back(combinator);
        }
    }

    std::optional<CompoundSelector> compound(Specificity &specificity, bool &pseudoElement)
    {
        CompoundSelector part;
        bool any = false;
        if (!atEnd() && peek() == '*') {
            ++m_at;
            any = true;
        } else if (!atEnd() && startsIdentifier()) {
            part.tag = lowerAscii(identifier());
            ++specificity[2];
            any = true;
        }
        if (!atEnd() && peek() == '|')
            return std::nullopt; // namespaces are not read
        while (!atEnd()) {
            const char c = peek();
            if (c == '#') {
                ++m_at;
                if (!startsIdentifier() && !(m_at < m_text.size() && isNameChar(peek())))
                    return std::nullopt;
                part.id = identifier();
                ++specificity[0];
            } else if (c == '.') {
                ++m_at;
                if (!startsIdentifier())
                    return std::nullopt;
                part.classes.push_back(identifier());
                ++specificity[1];
            } else if (c == '[') {
                ++m_at;
                std::optional<AttributeTest> test = attribute();
                if (!test)
                    return std::nullopt;
                part.attributes.push_back(std::move(*test));
                ++specificity[1];
            } else if (c == ':') {
                ++m_at;
                if (pseudoElement)
                    return std::nullopt;
                if (!pseudo(part, specificity, pseudoElement))
                    return std::nullopt;
            } else {
                break;
            }
            any = true;
        }
        if (!any)
            return std::nullopt;
        return part;
    }

    std::optional<AttributeTest> attribute()
    {
        skipSpaces();
        if (!startsIdentifier())
            return std::nullopt;
        AttributeTest test;
        test.name = lowerAscii(identifier());
        skipSpaces();
        if (atEnd())
            return std::nullopt;
        if (peek() == ']') {
            ++m_at;
            return test;
        }
        static constexpr std::pair<char, AttributeTest::Op> ops[] = {
            {'~', AttributeTest::Op::Includes}, {'|', AttributeTest::Op::DashMatch},
            {'^', AttributeTest::Op::Prefix},   {'$', AttributeTest::Op::Suffix},
            {'*', AttributeTest::Op::Substring}};
        test.op = AttributeTest::Op::Equals;
        for (const auto &[mark, op] : ops) {
            if (peek() == mark) {
                test.op = op;
                ++m_at;
            }
        }
        if (atEnd() || peek() != '=')
            return std::nullopt;
        ++m_at;
        skipSpaces();
        if (atEnd())
            return std::nullopt;
        if (peek() == '"' || peek() == '\'')
            test.value = quoted();
        else if (startsIdentifier() || isNameChar(peek()))
            test.value = identifier();
        else
            return std::nullopt;
        skipSpaces();
        if (!atEnd() && (peek() == 'i' || peek() == 'I' || peek() == 's' || peek() == 'S')) {
            test.ignoreCase = peek() == 'i' || peek() == 'I';
            ++m_at;
            skipSpaces();
        }
        if (atEnd() || peek() != ']')
            return std::nullopt;
        ++m_at;
        return test;
    }

    bool pseudo(CompoundSelector &part, Specificity &specificity, bool &pseudoElement)
    {
        const bool doubled = !atEnd() && peek() == ':';
        if (doubled)
            ++m_at;
        if (!startsIdentifier())
            return false;
        const std::string name = lowerAscii(identifier());
        const bool function = !atEnd() && peek() == '(';
        static constexpr const char *legacyElements[] = {"before", "after", "first-line", "first-letter"};
        if (doubled || (!function && std::find_if(std::begin(legacyElements), std::end(legacyElements),
                                                  [&](const char *n) { return name == n; })
                                         != std::end(legacyElements))) {
            // Chromium knows its own prefixed pseudo-elements, not Firefox's.
            pseudoElement = true;
            if (function)
                skipParenthesis();
            return name.rfind("-moz-", 0) != 0;
        }
        PseudoTest test;
        if (function) {
            ++m_at;
            if (!pseudoFunction(name, test, specificity))
                return false;
            skipSpaces();
            if (atEnd() || peek() != ')')
                return false;
            ++m_at;
        } else if (!pseudoClass(name, test)) {
            return false;
        } else {
            ++specificity[1];
        }
        part.pseudos.push_back(std::move(test));
        return true;
    }

    static bool pseudoClass(const std::string &name, PseudoTest &test)
    {
        using Kind = PseudoTest::Kind;
        const auto nth = [&](bool ofType, bool fromEnd, int b) {
            test.kind = Kind::Nth;
            test.ofType = ofType;
            test.fromEnd = fromEnd;
            test.b = b;
        };
        if (name == "first-child" || name == "last-child" || name == "first-of-type" || name == "last-of-type") {
            nth(name.find("of-type") != std::string::npos, name.rfind("last", 0) == 0, 1);
        } else if (name == "only-child" || name == "only-of-type") {
            // First and last at once: a selector of two tests.
            test.kind = Kind::Is;
            ComplexSelector both;
            PseudoTest first;
            first.kind = Kind::Nth;
            first.b = 1;
            first.ofType = name == "only-of-type";
            PseudoTest last = first;
            last.fromEnd = true;
            both.compounds.push_back({{}, {}, {}, {}, {first, last}});
            test.selectors.push_back(std::move(both));
        } else if (name == "root") {
            test.kind = Kind::Root;
        } else if (name == "empty") {
            test.kind = Kind::Empty;
        } else if (name == "link" || name == "any-link" || name == "-webkit-any-link") {
            test.kind = Kind::Link;
        } else if (name == "checked") {
            test.kind = Kind::Checked;
        } else if (name == "disabled") {
            test.kind = Kind::Disabled;
        } else if (name == "enabled") {
            test.kind = Kind::Enabled;
        } else {
            static constexpr const char *never[] = {
                "hover", "active", "focus", "focus-within", "focus-visible", "visited", "target",
                "placeholder-shown", "-webkit-autofill", "autofill", "invalid", "fullscreen", "-webkit-full-screen",
                "indeterminate", "default", "required", "optional", "valid", "read-only", "read-write",
                "in-range", "out-of-range", "scope", "defined", "playing", "paused", "modal",
                "picture-in-picture", "-webkit-any-link", "future", "past", "current", "window-inactive"};
            if (std::find_if(std::begin(never), std::end(never), [&](const char *n) { return name == n; })
                == std::end(never))
                return false;
            test.kind = Kind::Never;
        }
        return true;
    }

    bool pseudoFunction(const std::string &name, PseudoTest &test, Specificity &specificity)
    {
        using Kind = PseudoTest::Kind;
        skipSpaces();
        if (name == "not" || name == "is" || name == "where" || name == "-webkit-any" || name == "matches") {
            std::optional<std::vector<ComplexSelector>> inner = list();
            if (!inner)
                return false;
            test.kind = name == "not" ? Kind::Not : Kind::Is;
            Specificity most{};
            for (const ComplexSelector &selector : *inner)
                most = std::max(most, selector.specificity);
            if (name != "where") {
                for (size_t i = 0; i < most.size(); ++i)
                    specificity[i] += most[i];
            }
            test.selectors = std::move(*inner);
            return true;
        }
        const bool nth = name == "nth-child" || name == "nth-last-child" || name == "nth-of-type"
            || name == "nth-last-of-type";
        if (!nth) {
            // :lang(), :dir() and the like: valid, never true of a page read unseen.
            if (name != "lang" && name != "dir" && name != "host" && name != "host-context")
                return false;
            skipTo(')');
            test.kind = Kind::Never;
            ++specificity[1];
            return true;
        }
        test.kind = Kind::Nth;
        test.ofType = name.find("of-type") != std::string::npos;
        test.fromEnd = name.find("last") != std::string::npos;
        const size_t close = m_text.find(')', m_at);
        if (close == std::string_view::npos)
            return false;
        std::string formula = lowerAscii(trimAscii(m_text.substr(m_at, close - m_at)));
        m_at = close;
        formula.erase(std::remove_if(formula.begin(), formula.end(), isAsciiSpace), formula.end());
        ++specificity[1];
        return anPlusB(formula, test.a, test.b);
    }

    static bool anPlusB(const std::string &formula, int &a, int &b)
    {
        if (formula == "odd") {
            a = 2;
            b = 1;
            return true;
        }
        if (formula == "even") {
            a = 2;
            b = 0;
            return true;
        }
        const size_t n = formula.find('n');
        const auto number = [](std::string_view text, int &value) {
            if (text.empty() || text.size() > 9)
                return false;
            const bool negative = text.front() == '-';
            if (text.front() == '+' || text.front() == '-')
                text.remove_prefix(1);
            if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            value = std::stoi(std::string(text)) * (negative ? -1 : 1);
            return true;
        };
        if (n == std::string::npos) {
            a = 0;
            return number(formula, b);
        }
        const std::string_view before = std::string_view(formula).substr(0, n);
        if (before.empty() || before == "+")
            a = 1;
        else if (before == "-")
            a = -1;
        else if (!number(before, a))
            return false;
        const std::string_view after = std::string_view(formula).substr(n + 1);
        b = 0;
        return after.empty() || ((after.front() == '+' || after.front() == '-') && number(after, b));
    }

    bool startsIdentifier() const
    {
        if (atEnd())
            return false;
        const char c = peek();
        if (isNameStart(c) || c == '\\')
            return true;
        if (c == '-' && m_at + 1 < m_text.size()) {
            const char next = m_text[m_at + 1];
            return isNameStart(next) || next == '-' || next == '\\';
        }
        return false;
    }

    std::string identifier()
    {
        std::string name;
        while (!atEnd()) {
            const char c = peek();
            if (c == '\\' && m_at + 1 < m_text.size()) {
                ++m_at;
                escape(name);
            } else if (isNameChar(c)) {
                name += c;
                ++m_at;
            } else {
                break;
            }
        }
        return name;
    }

    void escape(std::string &out)
    {
        if (!isHexDigit(peek())) {
            out += peek();
            ++m_at;
            return;
        }
        char32_t code = 0;
        for (int digits = 0; digits < 6 && !atEnd() && isHexDigit(peek()); ++digits, ++m_at)
            code = code * 16 + char32_t(std::stoi(std::string(1, peek()), nullptr, 16));
        if (!atEnd() && isAsciiSpace(peek()))
            ++m_at;
        appendUtf8(out, code);
    }

    std::string quoted()
    {
        const char quote = peek();
        ++m_at;
        std::string value;
        while (!atEnd() && peek() != quote) {
            if (peek() == '\\' && m_at + 1 < m_text.size()) {
                ++m_at;
                escape(value);
            } else {
                value += peek();
                ++m_at;
            }
        }
        if (!atEnd())
            ++m_at;
        return value;
    }

    bool skipSpaces()
    {
        const size_t from = m_at;
        while (!atEnd() && isAsciiSpace(peek()))
            ++m_at;
        return m_at > from;
    }

    void skipTo(char close)
    {
        while (!atEnd() && peek() != close)
            ++m_at;
    }

    void skipParenthesis()
    {
        int depth = 0;
        while (!atEnd()) {
            const char c = peek();
            ++m_at;
            if (c == '(')
                ++depth;
            else if (c == ')' && --depth == 0)
                return;
        }
    }

    std::string_view m_text;
    size_t m_at = 0;
};

} // namespace

std::optional<std::vector<ComplexSelector>> parseSelectorList(std::string_view text, size_t keepAtMost)
{
    SelectorReader reader(text);
    std::optional<std::vector<ComplexSelector>> selectors = reader.list(keepAtMost);
    if (!selectors || !reader.atEnd())
        return std::nullopt;
    return selectors;
}

} // namespace pagrion::html
