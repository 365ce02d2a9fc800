#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include "engine/document.h"
#include "engine/pagelimits.h"

namespace pagrion {

// Parses a page as a browser's HTML parser would and answers every read from
// the parsed tree. Links and frames resolve against baseUrl, the page's own
// address, unless the page names another base with <base href>.
//
// Element text follows the rendering-based innerText of browsers, taking each
// element's default display under the display, visibility, white-space, float
// and position the page's style elements, the linked sheets applied to it
// and its own style attributes give:
// blocks start new lines, paragraphs leave an empty line, cells of a row are
// joined by tabs and rows by line feeds, white space collapses outside
// preformatted text, and hidden or invisible content gives nothing.
//
// Every read walks the whole page and ends within the limits' time and text
// allowance, raising DocumentError past them.
std::shared_ptr<const Document> parseHtmlDocument(const QString &html, const QUrl &baseUrl = {},
                                                  const PageLimits &limits = {});
// The same for markup already in UTF-8.
std::shared_ptr<const Document> parseHtmlDocument(const QByteArray &utf8, const QUrl &baseUrl,
                                                  const PageLimits &limits);

// The style sheets the page links to and those its style elements import,
// in page order, for a document of the static engine; none for another.
QList<QUrl> linkedStyleSheets(const Document &document);
// The sheets a style sheet at `sheet` imports for the screen, in order.
QList<QUrl> importedStyleSheets(const QUrl &sheet, std::string_view css);
// Matches the linked and imported sheets given (by address, the ones
// fetched) with the page's style elements. Only while the document is being
// built, before anyone reads it.
void applyLinkedStyleSheets(const Document &document, const QHash<QUrl, QByteArray> &sheets);

// Where a page sends its reader with <meta http-equiv="refresh"> within a few
// seconds, as old sites do instead of a redirect; nullopt when it does not.
std::optional<QUrl> metaRefreshTarget(const QString &html, const QUrl &baseUrl);

} // namespace pagrion
