#include "engine/html/stylesheet.h"

#include <algorithm>
#include <charconv>

#include "core/workbudget.h"
#include "engine/html/htmltree.h"

namespace pagrion::html {

namespace {

// Blocks nested deeper than this (@media in @supports in …) are skipped:
// no real sheet comes near it, and a hostile one must not exhaust the stack.
constexpr int MaxBlockDepth = 16;

// The sheet without its comments, strings kept as they are.
std::string withoutComments(std::string_view css)
{
    std::string out;
    out.reserve(css.size());
    for (size_t at = 0; at < css.size();) {
        const char c = css[at];
        if (c == '/' && at + 1 < css.size() && css[at + 1] == '*') {
            const size_t end = css.find("*/", at + 2);
            at = end == std::string_view::npos ? css.size() : end + 2;
            out += ' ';
        } else if (c == '"' || c == '\'') {
            const size_t from = at++;
            while (at < css.size() && css[at] != c && css[at] != '\n') {
                if (css[at] == '\\')
                    ++at;
                ++at;
            }
            at = std::min(at + 1, css.size());
            out.append(css.substr(from, at - from));
        } else {
            out += c;
            ++at;
        }
    }
    return out;
}

// Moves `at` past a string that starts there.
void skipString(std::string_view css, size_t &at)
{
    const char quote = css[at++];
    while (at < css.size() && css[at] != quote && css[at] != '\n') {
        if (css[at] == '\\')
            ++at;
        ++at;
    }
    if (at < css.size())
        ++at;
}

// From `at` to the first of `stops` outside strings, parentheses and
// brackets; `at` is left on that character (or at the end).
std::string_view readUntil(std::string_view css, size_t &at, std::string_view stops)
{
    const size_t from = at;
    int depth = 0;
    while (at < css.size()) {
        const char c = css[at];
        if (c == '"' || c == '\'') {
            skipString(css, at);
            continue;
        }
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && depth > 0)
            --depth;
        else if (depth == 0 && stops.find(c) != std::string_view::npos)
            break;
        ++at;
    }
    return css.substr(from, at - from);
}

// With `at` just past an opening brace: the block's contents, `at` left
// past its closing brace.
std::string_view readBlock(std::string_view css, size_t &at)
{
    const size_t from = at;
    int depth = 1;
    while (at < css.size()) {
        const char c = css[at];
        if (c == '"' || c == '\'') {
            skipString(css, at);
            continue;
        }
        ++at;
        if (c == '{')
            ++depth;
        else if (c == '}' && --depth == 0)
            return css.substr(from, at - 1 - from);
    }
    return css.substr(from);
}

bool knownProperty(std::string_view name, StyleProperty &property)
{
    static constexpr std::pair<std::string_view, StyleProperty> names[] = {
        {"display", StyleProperty::Display},
        {"visibility", StyleProperty::Visibility},
        {"white-space", StyleProperty::WhiteSpace},
        {"float", StyleProperty::Float},
        {"position", StyleProperty::Position},
        {"text-transform", StyleProperty::TextTransform}};
    for (const auto &[known, which] : names) {
        if (name == known) {
            property = which;
            return true;
        }
    }
    return false;
}

std::optional<double> lengthPx(std::string_view value)
{
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc())
        return std::nullopt;
    const std::string_view unit = value.substr(size_t(end - value.data()));
    if (unit == "px" || (unit.empty() && number == 0))
        return number;
    if (unit == "em" || unit == "rem")
        return number * 16;
    return std::nullopt;
}

bool featureHolds(std::string_view feature)
{
    const size_t colon = feature.find(':');
    const std::string_view name = trimAscii(feature.substr(0, colon));
    const std::string_view value = colon == std::string_view::npos ? std::string_view() : trimAscii(feature.substr(colon + 1));
    const auto compare = [&](std::string_view what, int screen) -> std::optional<bool> {
        const bool min = name.substr(0, 4) == "min-";
        const bool max = name.substr(0, 4) == "max-";
        if ((min || max ? name.substr(4) : name) != what)
            return std::nullopt;
        const std::optional<double> px = lengthPx(value);
        if (!px)
            return false;
        return min ? screen >= *px : max ? screen <= *px : screen == *px;
    };
    if (value.empty())
        return name == "color" || name == "hover" || name == "pointer" || name == "any-hover" || name == "any-pointer";
    if (const auto width = compare("width", ScreenWidthPx))
        return *width;
    if (const auto height = compare("height", ScreenHeightPx))
        return *height;
    if (const auto deviceWidth = compare("device-width", ScreenWidthPx))
        return *deviceWidth;
    if (const auto deviceHeight = compare("device-height", ScreenHeightPx))
        return *deviceHeight;
    static constexpr std::pair<std::string_view, std::string_view> holding[] = {
        {"orientation", "landscape"},      {"prefers-color-scheme", "light"},
        {"prefers-reduced-motion", "no-preference"}, {"prefers-contrast", "no-preference"},
        {"forced-colors", "none"},         {"hover", "hover"},
        {"any-hover", "hover"},            {"pointer", "fine"},
        {"any-pointer", "fine"},           {"display-mode", "browser"},
        {"scripting", "enabled"},          {"update", "fast"}};
    for (const auto &[feature, holds] : holding) {
        if (name == feature)
            return value == holds;
    }
    if (name == "min-resolution" || name == "-webkit-min-device-pixel-ratio" || name == "min--moz-device-pixel-ratio")
        return value == "1" || value == "1dppx" || value == "96dpi" || value == "1x";
    if (name == "max-resolution" || name == "-webkit-max-device-pixel-ratio")
        return true;
    return false;
}

bool singleQueryHolds(std::string_view query)
{
    query = trimAscii(query);
    bool negated = false;
    std::string_view first = query.substr(0, query.find_first_of(" \t\n\r\f("));
    if (first == "not" || first == "only") {
        negated = first == "not";
        query = trimAscii(query.substr(first.size()));
        first = query.substr(0, query.find_first_of(" \t\n\r\f("));
    }
    bool holds = true;
    if (!first.empty()) {
        holds = first == "all" || first == "screen";
        query = trimAscii(query.substr(first.size()));
        if (!query.empty() && query.substr(0, 3) != "and")
            return false;
        if (!query.empty())
            query = trimAscii(query.substr(3));
    }
    while (holds && !query.empty()) {
        if (query.front() != '(')
            return false;
        const size_t close = query.find(')');
        if (close == std::string_view::npos)
            return false;
        holds = featureHolds(query.substr(1, close - 1));
        query = trimAscii(query.substr(close + 1));
        if (!query.empty()) {
            if (query.substr(0, 3) != "and")
                return false;
            query = trimAscii(query.substr(3));
        }
    }
    return holds != negated;
}

// A quoted string as written, quotes and all: its text.
std::string unquoted(std::string_view quoted)
{
    std::string text;
    for (size_t at = 1; at < quoted.size(); ++at) {
        if (quoted[at] == quoted.front())
            break;
        if (quoted[at] == '\\' && at + 1 < quoted.size())
            ++at;
        text += quoted[at];
    }
    return text;
}

// What follows "@import": the address of the sheet it names, when it is
// meant for the screen. The address is a url() or a string; a layer name, a
// supports() condition and a media query list may follow.
std::optional<std::string> importedAddress(std::string_view prelude)
{
    prelude = trimAscii(prelude);
    std::string address;
    size_t at = 0;
    const auto atQuote = [&] { return at < prelude.size() && (prelude[at] == '"' || prelude[at] == '\''); };
    const auto readQuoted = [&] {
        const size_t from = at;
        skipString(prelude, at);
        address = unquoted(prelude.substr(from, at - from));
    };
    if (lowerAscii(prelude.substr(0, 4)) == "url(") {
        at = 4;
        while (at < prelude.size() && isAsciiSpace(prelude[at]))
            ++at;
        if (atQuote()) {
            readQuoted();
        } else {
            const size_t close = prelude.find(')', at);
            if (close == std::string_view::npos)
                return std::nullopt;
            address = std::string(trimAscii(prelude.substr(at, close - at)));
            at = close;
        }
        while (at < prelude.size() && isAsciiSpace(prelude[at]))
            ++at;
        if (at >= prelude.size() || prelude[at] != ')')
            return std::nullopt;
        ++at;
    } else if (atQuote()) {
        readQuoted();
    } else {
        return std::nullopt;
    }
    const std::string lower = lowerAscii(prelude.substr(at));
    std::string_view conditions = trimAscii(lower);
    // A layer and a supports() condition are read as holding, as @layer and
    // @supports blocks are.
    const auto skipFunction = [&](std::string_view function) {
        size_t end = function.size();
        readUntil(conditions, end, ")");
        conditions = trimAscii(conditions.substr(std::min(end + 1, conditions.size())));
    };
    if (conditions.starts_with("layer("))
        skipFunction("layer(");
    else if (conditions == "layer" || (conditions.starts_with("layer") && isAsciiSpace(conditions[5])))
        conditions = trimAscii(conditions.substr(5));
    if (conditions.starts_with("supports("))
        skipFunction("supports(");
    if (address.empty() || !mediaQueryHolds(conditions))
        return std::nullopt;
    return address;
}

// One page's sheets being read, a sheet importing others within it.
struct SheetReading
{
    StyleRuleList &list;
    const WorkBudget *budget;
    const ImportedSheet &imported;
    std::vector<std::string> chain; // the addresses of the sheets being read, the last importing the next
    bool importsOnly = false;       // the reading ends where a sheet's imports do
};

void readSheet(std::string_view css, SheetReading &reading);

// The rules an @import brings in, unless the sheet is not at hand, imports
// itself, or imports lead too far.
void readImport(std::string_view prelude, SheetReading &reading)
{
    const std::optional<std::string> href = importedAddress(prelude);
    if (!href || !reading.imported || reading.chain.size() > size_t(MaxImportDepth)
        || reading.list.imports >= MaxImportedSheets)
        return;
    const std::optional<SheetText> sheet = reading.imported(reading.chain.back(), *href);
    if (!sheet || !sheet->css
        || std::find(reading.chain.cbegin(), reading.chain.cend(), sheet->address) != reading.chain.cend())
        return;
    ++reading.list.imports;
    reading.chain.push_back(sheet->address);
    readSheet(*sheet->css, reading);
    reading.chain.pop_back();
}

void parseRuleList(std::string_view css, size_t &at, bool nested, int depth, SheetReading &reading)
{
    std::vector<StyleRule> &rules = reading.list.rules;
    // @import counts only ahead of everything but @charset, other imports
    // and @layer statements.
    bool importsOpen = !nested;
    while (at < css.size() && rules.size() < MaxStyleRules) {
        checkWork(reading.budget);
        while (at < css.size() && isAsciiSpace(css[at]))
            ++at;
        if (at >= css.size())
            return;
        if (css[at] == '}') {
            ++at;
            if (nested)
                return;
            continue;
        }
        if (css[at] == '@') {
            size_t nameEnd = at + 1;
            while (nameEnd < css.size() && (std::isalnum(static_cast<unsigned char>(css[nameEnd])) || css[nameEnd] == '-'))
                ++nameEnd;
            const std::string name = lowerAscii(css.substr(at + 1, nameEnd - at - 1));
            at = nameEnd;
            const std::string_view prelude = readUntil(css, at, ";{}");
            if (at >= css.size() || css[at] != '{') {
                if (name == "import" && importsOpen)
                    readImport(prelude, reading);
                importsOpen = importsOpen && (name == "import" || name == "charset" || name == "layer");
                if (!importsOpen && reading.importsOnly)
                    return;
                if (at < css.size() && css[at] == ';')
                    ++at;
                continue;
            }
            importsOpen = false;
            if (reading.importsOnly)
                return;
            ++at;
            const bool readInside = (name == "media" && mediaQueryHolds(lowerAscii(prelude))) || name == "supports"
                || name == "layer";
            if (readInside && depth < MaxBlockDepth)
                parseRuleList(css, at, true, depth + 1, reading);
            else
                readBlock(css, at);
            continue;
        }
        importsOpen = false;
        if (reading.importsOnly)
            return;
        const std::string_view prelude = readUntil(css, at, "{");
        if (at >= css.size())
            return;
        ++at;
        const std::string_view block = readBlock(css, at);
        auto declarations = std::make_shared<const Declarations>(parseDeclarations(block));
        if (declarations->empty())
            continue;
        std::optional<std::vector<ComplexSelector>> selectors =
            parseSelectorList(trimAscii(prelude), MaxStyleRules - rules.size());
        if (!selectors)
            continue;
        for (ComplexSelector &selector : *selectors)
            rules.push_back({std::move(selector), declarations, reading.list.order++});
    }
}

void readSheet(std::string_view css, SheetReading &reading)
{
    const std::string text = withoutComments(css);
    size_t at = 0;
    parseRuleList(text, at, false, 0, reading);
}

} // namespace

void appendStyleRules(std::string_view css, StyleRuleList &list, const WorkBudget *budget,
                      const ImportedSheet &imported, std::string_view address)
{
    SheetReading reading{list, budget, imported, {std::string(address)}};
    readSheet(css, reading);
}

std::vector<std::string> styleSheetImports(std::string_view css)
{
    StyleRuleList none;
    std::vector<std::string> addresses;
    const ImportedSheet note = [&](std::string_view, std::string_view href) -> std::optional<SheetText> {
        addresses.emplace_back(href);
        return std::nullopt;
    };
    SheetReading reading{none, nullptr, note, {std::string()}, true};
    readSheet(css, reading);
    return addresses;
}

Declarations parseDeclarations(std::string_view css)
{
    Declarations declarations;
    size_t at = 0;
    while (at < css.size()) {
        const std::string_view declaration = readUntil(css, at, ";{");
        if (at < css.size() && css[at] == '{') {
            ++at;
            readBlock(css, at); // a nested rule, which this reading leaves out
            continue;
        }
        ++at;
        const size_t colon = declaration.find(':');
        StyleProperty property;
        if (colon == std::string_view::npos || !knownProperty(lowerAscii(trimAscii(declaration.substr(0, colon))), property))
            continue;
        std::string value = lowerAscii(trimAscii(declaration.substr(colon + 1)));
        bool important = false;
        if (const size_t bang = value.find('!'); bang != std::string::npos) {
            important = trimAscii(std::string_view(value).substr(bang + 1)) == "important";
            value = std::string(trimAscii(std::string_view(value).substr(0, bang)));
        }
        if (!value.empty())
            declarations.push_back({property, std::move(value), important});
    }
    return declarations;
}

bool mediaQueryHolds(std::string_view query)
{
    const std::string lower = lowerAscii(trimAscii(query));
    if (lower.empty())
        return true;
    size_t at = 0;
    while (at < lower.size()) {
        const std::string_view one = readUntil(lower, at, ",");
        ++at;
        if (singleQueryHolds(one))
            return true;
    }
    return false;
}

} // namespace pagrion::html
