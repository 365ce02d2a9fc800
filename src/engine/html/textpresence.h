#pragma once

#include <QStringList>

#include <gumbo.h>

namespace pagrion::html {

// Whether the text rendered from the nodes under root could contain one of
// these texts. Every character of rendered text comes from the page's text
// nodes, but for the spaces, tabs and line feeds the rendering writes itself,
// so a text with a character that no text node holds cannot be there: false
// rules the texts out without building any text; true means only "maybe".
bool mayRenderAny(const GumboNode *root, const QStringList &texts);

} // namespace pagrion::html
