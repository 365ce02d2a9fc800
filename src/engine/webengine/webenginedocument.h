#pragma once

#include <memory>

#include "engine/document.h"

class QWebEnginePage;

namespace pagrion {

// The page a QWebEnginePage holds, read through its live DOM: every read runs
// one script in the page and waits for the answer, so what it returns is the
// page as it stands at that moment. A read that gets no answer within
// readLimitMs, whose page is gone, or that would build more than
// maxTextBytes of text (0: no limit), raises DocumentError.
std::shared_ptr<const Document> liveDocument(QWebEnginePage *page, int readLimitMs, qint64 maxTextBytes);

} // namespace pagrion
