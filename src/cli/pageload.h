#pragma once

#include <memory>

#include <QString>

namespace pagrion {
class Browser;
class Document;
} // namespace pagrion

namespace pagrion::cli {

// The browser engine the command line loads pages with.
std::unique_ptr<Browser> createBrowser();

// Opens the page the way the window opens one and returns its document. A page
// that does not load in time or shows an error page ends the command.
std::shared_ptr<const Document> loadPage(const QString &address, int timeLimitMs);

} // namespace pagrion::cli
