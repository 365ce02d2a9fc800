#pragma once

#include <QStringList>

namespace pagrion {

class Document;

// The texts by which a loaded page is known as an error page (the engine's
// own pages and the usual server ones), in the order they are tested.
const QStringList &errorPageTexts();

// True when the page's body text contains one of those texts, compared
// exactly and case-sensitively, wherever it stands, even in ordinary content.
// A document without a body counts as an error page too: there is nothing in
// it to extract. Reading the body may raise DocumentError, as any read does.
bool isErrorPage(const Document &document);

} // namespace pagrion
