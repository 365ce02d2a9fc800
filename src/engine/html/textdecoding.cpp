#include "engine/html/textdecoding.h"

#include <algorithm>
#include <optional>

#include <QHash>
#include <QList>
#include <QStringDecoder>

namespace pagrion {

namespace {

const QByteArray Utf8 = QByteArrayLiteral("UTF-8");
const QByteArray Gb18030 = QByteArrayLiteral("GB18030");
const QByteArray Windows1252 = QByteArrayLiteral("windows-1252");

// Old pages put long comments and scripts before their <meta>, so the scan
// reaches further than the first kilobyte.
constexpr qsizetype MetaScanLimit = 4096;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Labels are read as browsers read them: the Latin-1 family means
// windows-1252 and every Simplified Chinese label means GB18030.
QByteArray encodingForLabel(const QByteArray &label)
{
    static const QHash<QByteArray, QByteArray> aliases = [] {
        QHash<QByteArray, QByteArray> map;
        for (const char *name : {"gbk", "gb2312", "gb_2312", "gb_2312-80", "x-gbk", "chinese", "csgb2312",
                                 "csiso58gb231280", "iso-ir-58", "gb18030", "cp936", "windows-936"})
            map.insert(name, Gb18030);
        for (const char *name : {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                                 "x-unicode20utf8"})
            map.insert(name, Utf8);
        for (const char *name : {"us-ascii", "ascii", "ansi_x3.4-1968", "iso-8859-1", "iso8859-1", "iso88591",
                                 "iso_8859-1", "iso_8859-1:1987", "latin1", "l1", "ibm819", "cp819",
                                 "csisolatin1", "iso-ir-100", "cp1252", "windows-1252", "x-cp1252",
                                 "x-user-defined"})
            map.insert(name, Windows1252);
        for (const char *name : {"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5"})
            map.insert(name, QByteArrayLiteral("Big5"));
        for (const char *name : {"utf-16", "utf-16le", "unicode", "ucs-2", "csunicode", "iso-10646-ucs-2"})
            map.insert(name, QByteArrayLiteral("UTF-16LE"));
        map.insert("utf-16be", QByteArrayLiteral("UTF-16BE"));
        // Browsers refuse UTF-7: it smuggles markup past filters.
        map.insert("utf-7", QByteArray());
        return map;
    }();

    const QByteArray name = label.trimmed().toLower();
    if (name.isEmpty())
        return {};
    if (const auto known = aliases.constFind(name); known != aliases.cend())
        return *known;
    return QStringDecoder(name.constData()).isValid() ? name : QByteArray();
}

QByteArray unquote(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

QByteArray charsetFromContentType(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts.at(i).indexOf('=');
        if (equals > 0 && parts.at(i).left(equals).trimmed().toLower() == "charset")
            return unquote(parts.at(i).mid(equals + 1));
    }
    return {};
}

// The charset named in a meta content value such as "text/html; charset=gbk".
QByteArray charsetFromMetaContent(const QByteArray &content)
{
    const QByteArray lower = content.toLower();
    qsizetype pos = 0;
    while ((pos = lower.indexOf("charset", pos)) >= 0) {
        pos += 7;
        while (pos < content.size() && isSpace(content.at(pos)))
            ++pos;
        if (pos >= content.size() || content.at(pos) != '=')
            continue;
        ++pos;
        while (pos < content.size() && isSpace(content.at(pos)))
            ++pos;
        if (pos >= content.size())
            return {};
        const char quote = content.at(pos);
        if (quote == '"' || quote == '\'') {
            const qsizetype close = content.indexOf(quote, pos + 1);
            return close < 0 ? QByteArray() : content.mid(pos + 1, close - pos - 1);
        }
        qsizetype end = pos;
        while (end < content.size() && !isSpace(content.at(end)) && content.at(end) != ';')
            ++end;
        return content.mid(pos, end - pos);
    }
    return {};
}

// Reads the tags at the top of a page the way a browser's prescan does,
// looking only for the meta element that names the page's charset.
class MetaScanner
{
public:
    explicit MetaScanner(const QByteArray &bytes) : m_bytes(bytes.left(MetaScanLimit)) {}

    QByteArray charset()
    {
        while (m_pos < m_bytes.size()) {
            if (at(m_pos) != '<') {
                ++m_pos;
            } else if (startsWith("<!--")) {
                const qsizetype close = m_bytes.indexOf("-->", m_pos + 2);
                m_pos = close < 0 ? m_bytes.size() : close + 3;
            } else if (startsWithCaseless("<meta") && (isSpace(at(m_pos + 5)) || at(m_pos + 5) == '/')) {
                m_pos += 5;
                if (QByteArray encoding = metaCharset(); !encoding.isEmpty())
                    return encoding;
            } else if (isAsciiLetter(at(m_pos + 1)) || (at(m_pos + 1) == '/' && isAsciiLetter(at(m_pos + 2)))) {
                while (m_pos < m_bytes.size() && !isSpace(at(m_pos)) && at(m_pos) != '>')
                    ++m_pos;
                while (attribute()) {
                }
            } else if (at(m_pos + 1) == '!' || at(m_pos + 1) == '/' || at(m_pos + 1) == '?') {
                const qsizetype close = m_bytes.indexOf('>', m_pos);
                m_pos = close < 0 ? m_bytes.size() : close + 1;
            } else {
                ++m_pos;
            }
        }
        return {};
    }

private:
    struct Attribute
    {
        QByteArray name;
        QByteArray value;
    };

    char at(qsizetype i) const { return i < m_bytes.size() ? m_bytes.at(i) : '\0'; }
    bool startsWith(const char *text) const { return m_bytes.mid(m_pos).startsWith(text); }
    bool startsWithCaseless(const char *text) const
    {
        const qsizetype length = qsizetype(qstrlen(text));
        return m_bytes.mid(m_pos, length).toLower() == text;
    }

    QByteArray metaCharset()
    {
        bool gotPragma = false;
        std::optional<bool> needPragma;
        QByteArray charset;
        QList<QByteArray> seen;
        while (const std::optional<Attribute> attr = attribute()) {
            if (seen.contains(attr->name))
                continue;
            seen.append(attr->name);
            if (attr->name == "http-equiv") {
                gotPragma = gotPragma || attr->value.trimmed().toLower() == "content-type";
            } else if (attr->name == "content" && charset.isEmpty()) {
                charset = charsetFromMetaContent(attr->value);
                if (!charset.isEmpty())
                    needPragma = true;
            } else if (attr->name == "charset") {
                charset = attr->value;
                needPragma = false;
            }
        }
        if (!needPragma || (*needPragma && !gotPragma))
            return {};
        const QByteArray encoding = encodingForLabel(charset);
        // A page that could be read far enough to find this is not UTF-16.
        return encoding.startsWith("UTF-16") ? Utf8 : encoding;
    }

    // The next attribute of the current tag; nothing at the tag's end.
    std::optional<Attribute> attribute()
    {
        while (m_pos < m_bytes.size() && (isSpace(at(m_pos)) || at(m_pos) == '/'))
            ++m_pos;
        if (m_pos >= m_bytes.size() || at(m_pos) == '>')
            return std::nullopt;

        Attribute attr;
        while (m_pos < m_bytes.size()) {
            const char c = at(m_pos);
            if (c == '=' && !attr.name.isEmpty())
                break;
            if (isSpace(c)) {
                while (isSpace(at(m_pos)))
                    ++m_pos;
                if (at(m_pos) != '=')
                    return attr;
                break;
            }
            if (c == '/' || c == '>')
                return attr;
            attr.name += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            ++m_pos;
        }
        if (m_pos >= m_bytes.size())
            return attr;

        ++m_pos; // past '='
        while (isSpace(at(m_pos)))
            ++m_pos;
        const char quote = at(m_pos);
        if (quote == '"' || quote == '\'') {
            const qsizetype close = m_bytes.indexOf(quote, m_pos + 1);
            const qsizetype end = close < 0 ? m_bytes.size() : close;
            attr.value = m_bytes.mid(m_pos + 1, end - m_pos - 1);
            m_pos = end + 1;
            return attr;
        }
        while (m_pos < m_bytes.size() && !isSpace(at(m_pos)) && at(m_pos) != '>')
            attr.value += at(m_pos++);
        return attr;
    }

    const QByteArray m_bytes;
    qsizetype m_pos = 0;
};

struct Bom
{
    QByteArray encoding;
    qsizetype length = 0;
};

Bom byteOrderMark(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {Utf8, 3};
    if (bytes.startsWith("\xFE\xFF"))
        return {QByteArrayLiteral("UTF-16BE"), 2};
    if (bytes.startsWith("\xFF\xFE"))
        return {QByteArrayLiteral("UTF-16LE"), 2};
    return {};
}

// Bytes 0x80 to 0x9F of windows-1252; the five it leaves undefined stand for
// the control characters of the same number, as browsers read them.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t(byte);
    }
    return text;
}

// Browsers read a lone byte 0x80 in GBK text as the euro sign, which GB18030
// writes as A2 E3; every other byte sequence means the same in both.
QByteArray withGbkEuroSigns(QByteArrayView bytes)
{
    QByteArray fixed;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead == 0x80) {
            fixed.append(bytes.sliced(copied, i - copied));
            fixed += "\xA2\xE3";
            copied = ++i;
            continue;
        }
        if (lead < 0x81 || lead == 0xFF || i + 1 >= bytes.size()) {
            ++i;
            continue;
        }
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        if (trail >= 0x30 && trail <= 0x39)
            i += 4;
        else if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE))
            i += 2;
        else
            ++i;
    }
    if (copied == 0)
        return bytes.toByteArray();
    fixed.append(bytes.sliced(std::min(copied, bytes.size())));
    return fixed;
}

} // namespace

QByteArray pageEncoding(const QByteArray &bytes, const QByteArray &contentType)
{
    if (const Bom bom = byteOrderMark(bytes); bom.length > 0)
        return bom.encoding;
    if (QByteArray encoding = encodingForLabel(charsetFromContentType(contentType)); !encoding.isEmpty())
        return encoding;
    if (QByteArray encoding = MetaScanner(bytes).charset(); !encoding.isEmpty())
        return encoding;
    return QByteArrayView(bytes).isValidUtf8() ? Utf8 : Gb18030;
}

QString decodePage(const QByteArray &bytes, const QByteArray &contentType)
{
    const Bom bom = byteOrderMark(bytes);
    const QByteArray encoding = bom.length > 0 ? bom.encoding : pageEncoding(bytes, contentType);
    const QByteArrayView content = QByteArrayView(bytes).sliced(bom.length);
    if (encoding == Windows1252)
        return decodeWindows1252(content);
    QStringDecoder decoder(encoding.constData(), QStringConverter::Flag::Stateless);
    // Without ICU only the built-in encodings exist; Latin-1 at least keeps
    // the markup readable.
    if (!decoder.isValid())
        return QString::fromLatin1(content);
    if (encoding == Gb18030)
        return decoder.decode(withGbkEuroSigns(content));
    return decoder.decode(content);
}

QByteArray decodePageToUtf8(const QByteArray &bytes, const QByteArray &contentType)
{
    const Bom bom = byteOrderMark(bytes);
    const QByteArray encoding = bom.length > 0 ? bom.encoding : pageEncoding(bytes, contentType);
    const QByteArray content = bytes.sliced(bom.length);
    // Valid UTF-8 is already what the parser reads: no copy at all.
    if (encoding == Utf8 && QByteArrayView(content).isValidUtf8())
        return content;
    return decodePage(bytes, contentType).toUtf8();
}

} // namespace pagrion
