#pragma once

#include <memory>
#include <optional>

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
// element's default display (plus the display, visibility, white-space, float
// and position given in its own style attribute; style sheets are not read):
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

// Where a page sends its reader with <meta http-equiv="refresh"> within a few
// seconds, as old sites do instead of a redirect; nullopt when it does not.
std::optional<QUrl> metaRefreshTarget(const QString &html, const QUrl &baseUrl);

} // namespace pagrion
