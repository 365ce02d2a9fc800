#pragma once

#include <memory>

#include <QString>
#include <QUrl>

namespace pagrion {

class Document;

// The pages a browser engine shows in place of one it could not load. The
// batch runs know a page to skip by their texts, so every engine shows these.

// A page that could not be fetched at all: its text contains "无法找到网页".
QString unreachablePageHtml();

// An HTTP error the server sent without content of its own; the page names the
// status ("HTTP 404 - 无法找到文件"). The reason phrase is used only for a
// status without a text of its own.
QString httpErrorPageHtml(int status, const QString &reasonPhrase = {});

// The document of a page an engine makes itself (an error page, an empty
// page), read the way the static engine reads any page, so both engines show
// their own pages alike.
std::shared_ptr<const Document> engineMadeDocument(const QString &html, const QUrl &url = {});

} // namespace pagrion
