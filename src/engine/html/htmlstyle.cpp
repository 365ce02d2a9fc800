#include "engine/html/htmlstyle.h"

#include <array>
#include <string>
#include <string_view>

#include "engine/html/authorstyles.h"
#include "engine/html/htmltree.h"

namespace pagrion::html {

namespace {

// The display each HTML tag has without author styling, indexed by tag.
const std::array<Style, GUMBO_TAG_LAST + 1> &defaultStyles()
{
    static const auto styles = [] {
        std::array<Style, GUMBO_TAG_LAST + 1> styles{};
        // Pages are read as a scripting browser shows them, which hides noscript.
        for (GumboTag tag : {GUMBO_TAG_HEAD, GUMBO_TAG_TITLE, GUMBO_TAG_BASE, GUMBO_TAG_LINK, GUMBO_TAG_META,
                             GUMBO_TAG_STYLE, GUMBO_TAG_SCRIPT, GUMBO_TAG_NOSCRIPT, GUMBO_TAG_TEMPLATE,
                             GUMBO_TAG_AREA, GUMBO_TAG_BASEFONT, GUMBO_TAG_DATALIST, GUMBO_TAG_NOEMBED,
                             GUMBO_TAG_NOFRAMES, GUMBO_TAG_PARAM, GUMBO_TAG_RP, GUMBO_TAG_COL, GUMBO_TAG_COLGROUP})
            styles[tag] = Style(Box::None);
        // Blocks; a list of choices among them, one choice per line.
        for (GumboTag tag :
            {GUMBO_TAG_HTML, GUMBO_TAG_BODY, GUMBO_TAG_ARTICLE, GUMBO_TAG_SECTION, GUMBO_TAG_NAV,
             GUMBO_TAG_ASIDE, GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5,
             GUMBO_TAG_H6, GUMBO_TAG_HGROUP, GUMBO_TAG_HEADER, GUMBO_TAG_FOOTER, GUMBO_TAG_ADDRESS,
             GUMBO_TAG_HR, GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_OL, GUMBO_TAG_UL, GUMBO_TAG_LI, GUMBO_TAG_DL,
             GUMBO_TAG_DT, GUMBO_TAG_DD, GUMBO_TAG_FIGURE, GUMBO_TAG_FIGCAPTION, GUMBO_TAG_MAIN,
             GUMBO_TAG_DIV, GUMBO_TAG_CAPTION, GUMBO_TAG_FORM, GUMBO_TAG_FIELDSET, GUMBO_TAG_LEGEND,
             GUMBO_TAG_DETAILS, GUMBO_TAG_SUMMARY, GUMBO_TAG_MENU, GUMBO_TAG_DIR, GUMBO_TAG_CENTER,
             GUMBO_TAG_FRAMESET, GUMBO_TAG_OPTGROUP, GUMBO_TAG_OPTION})
            styles[tag] = Style(Box::Block);
        for (GumboTag tag : {GUMBO_TAG_PRE, GUMBO_TAG_LISTING, GUMBO_TAG_XMP, GUMBO_TAG_PLAINTEXT})
            styles[tag] = Style(Box::Block, false, true);
        // Shown, but what they hold is not text of the page.
        for (GumboTag tag : {GUMBO_TAG_IMG, GUMBO_TAG_IMAGE, GUMBO_TAG_IFRAME, GUMBO_TAG_FRAME, GUMBO_TAG_EMBED,
                             GUMBO_TAG_OBJECT, GUMBO_TAG_APPLET, GUMBO_TAG_VIDEO, GUMBO_TAG_AUDIO, GUMBO_TAG_CANVAS,
                             GUMBO_TAG_INPUT, GUMBO_TAG_TEXTAREA, GUMBO_TAG_KEYGEN, GUMBO_TAG_PROGRESS,
                             GUMBO_TAG_METER})
            styles[tag] = Style(Box::Inline, true);
        // A list of choices sits in its line as one box, though each choice
        // gives a line of text.
        styles[GUMBO_TAG_SELECT].atomic = true;
        styles[GUMBO_TAG_P] = Style(Box::Paragraph);
        styles[GUMBO_TAG_TABLE] = Style(Box::Table);
        styles[GUMBO_TAG_TR] = Style(Box::Row);
        styles[GUMBO_TAG_TD] = Style(Box::Cell);
        styles[GUMBO_TAG_TH] = Style(Box::Cell);
        return styles;
    }();
    return styles;
}

// Inline SVG is one piece of its line, like an image, though its text shows,
// each text element on a line of its own; its title and description are
// tooltips and notes, never drawn.
Style svgStyle(const GumboElement &element)
{
    if (element.tag == GUMBO_TAG_UNKNOWN && lowerAscii(originalTagName(element)) == "text")
        return Style(Box::Block);
    if (element.tag == GUMBO_TAG_TITLE || element.tag == GUMBO_TAG_DESC || element.tag == GUMBO_TAG_STYLE
        || element.tag == GUMBO_TAG_SCRIPT)
        return Style(Box::None);
    Style style;
    style.atomic = element.tag == GUMBO_TAG_SVG;
    return style;
}

// Whether a display value makes a box of its own. Floating and absolutely
// placed boxes are blocks, whatever their display.
struct Placement
{
    bool floated = false;
    bool placed = false;
};

// Applies one declaration of the page's styling over those before it.
void apply(const StyleDeclaration &declaration, const GumboElement &element, const Style &usual, Style &style,
           Placement &placement)
{
    const std::string &value = declaration.value;
    switch (declaration.property) {
    case StyleProperty::Display:
        if (value == "none")
            style.box = Box::None;
        else if (value == "revert")
            style.box = usual.box;
        else if (element.tag == GUMBO_TAG_P)
            style.box = Box::Paragraph;
        else if (value == "table")
            style.box = element.tag == GUMBO_TAG_TABLE ? Box::Table : Box::Block;
        else if (value == "block" || value == "flex" || value == "grid" || value == "list-item"
                 || value == "flow-root" || value == "-webkit-box")
            style.box = Box::Block;
        else if (value == "inline" || value == "inline-block" || value == "inline-flex" || value == "inline-grid"
                 || value == "inline-table" || value == "contents" || value == "-webkit-inline-box"
                 || value == "initial" || value == "unset")
            style.box = Box::Inline;
        else if (style.box == Box::None && value != "inherit") // shows what the hidden attribute hid
            style.box = usual.box == Box::None ? Box::Inline : usual.box;
        break;
    case StyleProperty::WhiteSpace:
        if (value == "pre" || value == "pre-wrap" || value == "break-spaces")
            style.preserveSpace = true;
        else if (value == "normal" || value == "nowrap" || value == "pre-line" || value == "initial")
            style.preserveSpace = false;
        else if (value == "inherit" || value == "unset")
            style.preserveSpace.reset();
        break;
    case StyleProperty::Visibility:
        if (value == "hidden" || value == "collapse")
            style.visible = false;
        else if (value == "visible" || value == "initial")
            style.visible = true;
        else if (value == "inherit" || value == "unset")
            style.visible.reset();
        break;
    case StyleProperty::Float:
        placement.floated = value == "left" || value == "right";
        break;
    case StyleProperty::Position:
        placement.placed = value == "absolute" || value == "fixed";
        break;
    case StyleProperty::TextTransform:
        if (value == "uppercase")
            style.transform = TextTransform::Upper;
        else if (value == "lowercase")
            style.transform = TextTransform::Lower;
        else if (value == "capitalize")
            style.transform = TextTransform::Capitalize;
        else if (value == "none" || value == "initial")
            style.transform = TextTransform::None;
        else if (value == "inherit" || value == "unset")
            style.transform.reset();
        break;
    }
}

const StyleDeclaration *toPointer(const StyleDeclaration &declaration)
{
    return &declaration;
}

const StyleDeclaration *toPointer(const StyleDeclaration *declaration)
{
    return declaration;
}

} // namespace

Style styleOf(const GumboNode *node, const AuthorStyles *authorStyles)
{
    const GumboElement &element = node->v.element;
    const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
    const Style usual = html ? defaultStyles()[element.tag]
        : element.tag_namespace == GUMBO_NAMESPACE_SVG ? svgStyle(element)
                                                        : Style();
    Style style = usual;
    if (html) {
        // A dialog shows only while open.
        if (element.tag == GUMBO_TAG_UNKNOWN && lowerAscii(originalTagName(element)) == "dialog")
            style.box = attributeValue(element, "open") ? Box::Block : Box::None;
        // An object without content to show shows what it holds instead.
        if (element.tag == GUMBO_TAG_OBJECT && !attributeValue(element, "data"))
            style.replaced = style.atomic = false;
        // A player without controls has nothing to show.
        if (element.tag == GUMBO_TAG_AUDIO && !attributeValue(element, "controls"))
            style.box = Box::None;
        if (element.tag == GUMBO_TAG_INPUT) {
            const char *type = attributeValue(element, "type");
            if (type && lowerAscii(trimAscii(type)) == "hidden")
                style.box = Box::None;
        }
    }
    if (attributeValue(element, "hidden"))
        style.box = Box::None;
    // The cascade: the sheets, the style attribute, then what either marks
    // important, the attribute's last.
    const MatchedDeclarations *sheets = authorStyles ? authorStyles->of(node) : nullptr;
    const char *css = attributeValue(element, "style");
    if (!sheets && !css)
        return style;
    const Declarations own = css ? parseDeclarations(css) : Declarations();
    Placement placement;
    const auto applyAll = [&](const auto &declarations, bool important) {
        for (const auto &declaration : declarations) {
            const StyleDeclaration &d = *toPointer(declaration);
            if (d.important == important)
                apply(d, element, usual, style, placement);
        }
    };
    if (sheets)
        applyAll(sheets->normal, false);
    applyAll(own, false);
    if (sheets)
        applyAll(sheets->important, true);
    applyAll(own, true);
    if ((placement.floated || placement.placed) && style.box == Box::Inline)
        style.box = Box::Block;
    return style;
}

} // namespace pagrion::html
