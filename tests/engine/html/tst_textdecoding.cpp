#include <QStringEncoder>
#include <QTest>

#include "engine/html/textdecoding.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

namespace {

QByteArray gbk(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

const QString Chinese = u"中文内容"_s;

} // namespace

class TestTextDecoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodePage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QString>("text");

        const QByteArray utf8 = Chinese.toUtf8();
        const QByteArray gb = gbk(Chinese);

        QTest::newRow("UTF-8 byte order mark beats the header")
            << "\xEF\xBB\xBF" + utf8 << QByteArray("text/html; charset=gbk") << QByteArray("UTF-8") << Chinese;
        QTest::newRow("UTF-16 byte order mark")
            << QByteArray("\xFF\xFE\x2D\x4E", 4) << QByteArray() << QByteArray("UTF-16LE") << u"中"_s;
        QTest::newRow("header charset gbk") << gb << QByteArray("text/html; charset=gbk") << QByteArray("GB18030")
                                            << Chinese;
        QTest::newRow("quoted header charset, any case")
            << gb << QByteArray("text/html;Charset=\"GB2312\"") << QByteArray("GB18030") << Chinese;
        QTest::newRow("header beats meta")
            << "<meta charset=gbk>" + utf8 << QByteArray("text/html; charset=UTF-8") << QByteArray("UTF-8")
            << u"<meta charset=gbk>"_s + Chinese;
        QTest::newRow("unknown header label falls through to meta")
            << "<meta charset=gbk>" + gb << QByteArray("text/html; charset=bogus") << QByteArray("GB18030")
            << u"<meta charset=gbk>"_s + Chinese;
        QTest::newRow("meta charset") << "<html><head><META CHARSET='gb2312'>" + gb << QByteArray("text/html")
                                      << QByteArray("GB18030") << u"<html><head><META CHARSET='gb2312'>"_s + Chinese;
        QTest::newRow("meta http-equiv")
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />" + gb << QByteArray()
            << QByteArray("GB18030")
            << u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"_s + Chinese;
        QTest::newRow("meta content without http-equiv is no declaration")
            << "<meta content=\"text/html; charset=gbk\">" + utf8 << QByteArray() << QByteArray("UTF-8")
            << u"<meta content=\"text/html; charset=gbk\">"_s + Chinese;
        QTest::newRow("meta inside a comment is no declaration")
            << "<!-- <meta charset=gbk> -->" + utf8 << QByteArray() << QByteArray("UTF-8")
            << u"<!-- <meta charset=gbk> -->"_s + Chinese;
        QTest::newRow("meta attribute value containing a tag end")
            << "<a title='>'><meta charset=gbk>" + gb << QByteArray() << QByteArray("GB18030")
            << u"<a title='>'><meta charset=gbk>"_s + Chinese;
        QTest::newRow("meta UTF-16 means UTF-8") << "<meta charset=utf-16>" + utf8 << QByteArray()
                                                 << QByteArray("UTF-8") << u"<meta charset=utf-16>"_s + Chinese;
        QTest::newRow("latin1 means windows-1252")
            << QByteArray("\x80") << QByteArray("text/html; charset=iso-8859-1") << QByteArray("windows-1252")
            << u"\u20ac"_s;
        QTest::newRow("ascii means windows-1252, undefined bytes are controls")
            << QByteArray("\x81\x8D\x93x\x9D") << QByteArray("text/html; charset=us-ascii")
            << QByteArray("windows-1252") << u"\u0081\u008D\u201Cx\u009D"_s;
        QTest::newRow("GBK byte 0x80 is the euro sign")
            << "\x80" + gb + "\x80" << QByteArray("text/html; charset=gb2312") << QByteArray("GB18030")
            << u"\u20AC"_s + Chinese + u"\u20AC"_s;
        QTest::newRow("undeclared UTF-8") << utf8 << QByteArray("text/html") << QByteArray("UTF-8") << Chinese;
        QTest::newRow("undeclared GBK") << gb << QByteArray("text/html") << QByteArray("GB18030") << Chinese;
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray("UTF-8") << QString();
    }
    void decodePage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, encoding);
        QFETCH(QString, text);
        QCOMPARE(pageEncoding(bytes, contentType), encoding);
        QCOMPARE(pagrion::decodePage(bytes, contentType), text);
        QCOMPARE(decodePageToUtf8(bytes, contentType), text.toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestTextDecoding)
#include "tst_textdecoding.moc"
