#pragma once

#include <string>

#include <gumbo.h>

namespace pagrion::html {

// The parsed page written out as HTML, so that a browser that parses it
// again, with scripts off, builds the same tree: the doctype, every element
// with its attributes, text and comments escaped as the HTML serialization
// rules ask. What a noscript element holds is escaped as well, so a reader
// without scripts keeps it as the text it was read as. UTF-8; without
// recursion, as pages nest deeper than a call stack allows.
std::string serializedHtml(const GumboNode *document);

} // namespace pagrion::html
