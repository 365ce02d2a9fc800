#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QUrl>

#include "engine/html/documentbuilder.h"
#include "extract/elementmode.h"
#include "extract/tablemode.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

// One page through everything the program reads from a document: the first
// byte picks how the server labels it, the rest is the body.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QByteArray contentTypes[] = {"text/html", "text/html; charset=gbk",
                                              "text/html; charset=windows-1252", "text/plain", QByteArray()};
    if (size == 0)
        return 0;
    const QByteArray &contentType = contentTypes[data[0] % std::size(contentTypes)];
    const QByteArray body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    PageLimits limits;
    limits.maxTextBytes = 16 << 20;
    const BuiltPage page = buildPage(body, contentType, QUrl(u"http://fuzz.test/dir/page.html"_s), limits);
    const Document &document = *page.document;
    try {
        const QString analysis = tableAnalysisText(document);
        QStringList names;
        for (qsizetype i = 0; i < document.tables().size(); ++i)
            names.append(u"TableName%1"_s.arg(i));
        const QString rows = tableExtractionText(document, names.join(u'|'), u"TableName0-1"_s);
        for (const QString &tag : {u"p"_s, u"div"_s, u"td"_s, u"a"_s, u"span"_s, u"noscript"_s, u"my-tag"_s})
            elementListText(document, tag, u"TableName1-0"_s);
        document.links();
        document.frames();
        document.bodyText();
    } catch (const DocumentError &) {
        // A page past the text limit is told, not read.
    }
    return 0;
}
