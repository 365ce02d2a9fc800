#pragma once

#include <QByteArray>
#include <QString>

namespace pagrion {

// The encoding a page's bytes are read with, as a name QStringDecoder knows.
// A byte order mark decides first, then the charset of the Content-Type
// header, then a <meta> declaration near the top of the page. A page that
// declares nothing is UTF-8 when its bytes are valid UTF-8 and otherwise
// GB18030, the encoding of most older Chinese pages; GBK and GB2312 are read
// as GB18030, which contains both.
QByteArray pageEncoding(const QByteArray &bytes, const QByteArray &contentType = {});

// The page's text in that encoding, without its byte order mark. Labels are
// read as browsers read them: the Latin-1 family means windows-1252, and a
// lone byte 0x80 in GBK text is the euro sign.
QString decodePage(const QByteArray &bytes, const QByteArray &contentType = {});

// The same text as UTF-8, the parser's encoding.
QByteArray decodePageToUtf8(const QByteArray &bytes, const QByteArray &contentType = {});

} // namespace pagrion
