#pragma once

#include <QByteArray>

namespace pagrion::test {

enum class Compression { Gzip, Zlib, RawDeflate };

// The data packed as a server sends it with Content-Encoding gzip or deflate
// (zlib-wrapped or bare).
QByteArray compressed(const QByteArray &data, Compression kind);
// One gzip member that unpacks to this many zero bytes, packed a thousandfold.
QByteArray gzippedZeros(qint64 count);

} // namespace pagrion::test
