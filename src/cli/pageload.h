#pragma once

#include <memory>

#include <QString>

namespace pagrion {
class Browser;
class Document;
} // namespace pagrion

namespace pagrion::cli {

// Opens the page in the browser the way the window opens one and returns its
// document. A page that fails to load (with the reason), does not load in
// time or shows an error page ends the command.
std::shared_ptr<const Document> loadPage(Browser &browser, const QString &address);

} // namespace pagrion::cli
