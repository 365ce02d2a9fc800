#pragma once

#include <QByteArray>

namespace pagrion::test {

enum class Compression { Gzip, Zlib, RawDeflate };

// The data packed as a server sends it with Content-Encoding gzip or deflate
// (zlib-wrapped or bare).
QByteArray compressed(const QByteArray &data, Compression kind);

} // namespace pagrion::test
