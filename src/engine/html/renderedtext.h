#pragma once

#include <functional>

#include <QStringList>

#include <gumbo.h>

namespace pagrion {
class ReadBudget;
} // namespace pagrion

namespace pagrion::html {

class AuthorStyles;

// The innerText of every element `selects` accepts, in document order, as
// browsers derive it from the rendering (see parseHtmlDocument): blocks start
// new lines, paragraphs leave an empty line, cells of a row are joined by tabs
// and rows by line feeds, white space collapses outside preformatted text,
// and hidden or invisible content gives nothing. An element that is not
// rendered gives its raw text content, as does an image or control read on
// its own; one folded away in a closed details element gives nothing.
//
// One walk over the tree serves every selected element, so nested elements
// (a list of divs inside divs) cost no more than the text they give.
// `styles` are the page's own style sheets, matched to its elements; null
// reads the page by the usual display of each tag.
QStringList renderedTexts(const GumboNode *root, const AuthorStyles *styles,
                          const std::function<bool(const GumboNode *)> &selects, ReadBudget &budget);

// The same texts, each handed over as soon as it is written.
using TextSink = std::function<void(QString &&)>;
void renderedTexts(const GumboNode *root, const AuthorStyles *styles,
                   const std::function<bool(const GumboNode *)> &selects, ReadBudget &budget, const TextSink &take);

} // namespace pagrion::html
