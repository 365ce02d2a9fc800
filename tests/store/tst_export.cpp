#include <optional>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include "store/database.h"
#include "store/export.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

Q_DECLARE_METATYPE(std::optional<ExportFormat>)

namespace {

bool execResult(const QString &statement, const QVariantList &values = {})
{
    Database db;
    return db.open(programFolder().resultDatabasePath()) && db.run(statement, values).ok();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One entry of a zip archive, found through the central directory and
// inflated; empty when it is missing or unreadable.
QByteArray zipEntry(const QByteArray &zip, const QByteArray &name)
{
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(zip.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(zip.constData() + at); };
    const qsizetype end = zip.lastIndexOf(QByteArrayView("PK\x05\x06", 4));
    if (end < 0)
        return {};
    qsizetype entry = u32(end + 16);
    for (int i = 0, count = u16(end + 10); i < count; ++i) {
        const quint16 nameLength = u16(entry + 28);
        if (zip.mid(entry + 46, nameLength) == name) {
            const qsizetype local = u32(entry + 42);
            const qsizetype data = local + 30 + u16(local + 26) + u16(local + 28);
            QByteArray content(u32(entry + 24), '\0');
            if (u16(entry + 10) == 0)
                return zip.mid(data, content.size());
            z_stream stream{};
            inflateInit2(&stream, -MAX_WBITS);
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zip.constData() + data));
            stream.avail_in = u32(entry + 20);
            stream.next_out = reinterpret_cast<Bytef *>(content.data());
            stream.avail_out = uInt(content.size());
            const int status = inflate(&stream, Z_FINISH);
            inflateEnd(&stream);
            return status == Z_STREAM_END ? content : QByteArray();
        }
        entry += 46 + nameLength + u16(entry + 30) + u16(entry + 32);
    }
    return {};
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private:
    std::optional<TempProgramFolder> m_folder;
    std::optional<QTemporaryDir> m_out;

    QString out(const QString &name) const { return m_out->filePath(name); }

    // Inserted out of id order. The widest record reaches c4; c5 and c7 hold
    // empty text, which does not count as data.
    void fillSample()
    {
        QVERIFY(execResult(u"insert into datalist (id, c1) values (3, '中文宽字符')"_s));
        QVERIFY(execResult(u"insert into datalist (id, c1, c2, c3) values (1, '名称', '价格', '')"_s));
        QVERIFY(execResult(u"insert into datalist (id, c1, c2, c4, c5, c7) values (2, ?, ?, '<x&y>', '', '')"_s,
                           {u"a\x01\tb"_s, u"line1\r\nline2"_s}));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY2(m_folder.emplace().isValid(), qPrintable(m_folder->error()));
        QVERIFY(m_out.emplace().isValid());
    }
    void cleanup()
    {
        m_out.reset();
        m_folder.reset();
    }

    void formatFromPathWords_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<std::optional<ExportFormat>>("format");
        const std::optional<ExportFormat> spreadsheet = ExportFormat::Spreadsheet;
        QTest::newRow("xls") << u"/home/u/temp/data.xls"_s << spreadsheet;
        QTest::newRow("csv is a spreadsheet") << u"/tmp/data.csv"_s << spreadsheet;
        QTest::newRow("upper case") << u"/tmp/DATA.TXT"_s << std::optional(ExportFormat::Text);
        QTest::newRow("xls wins over txt") << u"/tmp/report.txt.xls"_s << spreadsheet;
        QTest::newRow("folder names count") << u"/tmp/xlsdata/out.html"_s << spreadsheet;
        QTest::newRow("txt folder before html") << u"/tmp/txt/out.html"_s << std::optional(ExportFormat::Text);
        QTest::newRow("anywhere in the name") << u"/tmp/a.shtml"_s << std::optional(ExportFormat::Html);
        QTest::newRow("htm is not html") << u"/tmp/page.htm"_s << std::optional<ExportFormat>();
        QTest::newRow("no word") << u"/tmp/data.doc"_s << std::optional<ExportFormat>();
    }
    void formatFromPathWords()
    {
        QFETCH(QString, path);
        QFETCH(std::optional<ExportFormat>, format);
        QCOMPARE(exportFormatFor(path), format);
    }

    void textTableAlignsByDisplayWidth()
    {
        fillSample();
        PAGRION_VERIFY_OK(exportDatalist(out(u"t.txt"_s), ExportFormat::Text));
        QCOMPARE(QString::fromUtf8(readAll(out(u"t.txt"_s))),
                 u"c1          c2           c3  c4\r\n"
                 u"----------  -----------  --  -----\r\n"
                 u"名称        价格\r\n"
                 u"a b         line1 line2      <x&y>\r\n"
                 u"中文宽字符\r\n"_s);
    }

    void htmlTableIsEscaped()
    {
        fillSample();
        PAGRION_VERIFY_OK(exportDatalist(out(u"t.html"_s), ExportFormat::Html));
        QCOMPARE(QString::fromUtf8(readAll(out(u"t.html"_s))),
                 u"<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>datalist</title>\n</head>\n"
                 u"<body>\n<table border=\"1\">\n<thead>\n"
                 u"<tr><th>c1</th><th>c2</th><th>c3</th><th>c4</th></tr>\n</thead>\n<tbody>\n"
                 u"<tr><td>名称</td><td>价格</td><td></td><td></td></tr>\n"
                 u"<tr><td>a\tb</td><td>line1<br>line2</td><td></td><td>&lt;x&amp;y&gt;</td></tr>\n"
                 u"<tr><td>中文宽字符</td><td></td><td></td><td></td></tr>\n"
                 u"</tbody>\n</table>\n</body>\n</html>\n"_s);
    }

    void spreadsheetHoldsTheRowsInIdOrder()
    {
        fillSample();
        PAGRION_VERIFY_OK(exportDatalist(out(u"t.xls"_s), ExportFormat::Spreadsheet));
        const QByteArray book = readAll(out(u"t.xls"_s));
        QVERIFY(book.startsWith("PK"));
        const QString sheet = QString::fromUtf8(zipEntry(book, "xl/worksheets/sheet1.xml"));
        QVERIFY(sheet.contains(u"<t>c4</t>"_s));
        QVERIFY(!sheet.contains(u"<t>c5</t>"_s));
        const qsizetype first = sheet.indexOf(u"<t>名称</t>"_s);
        const qsizetype second = sheet.indexOf(u"<t>a\tb</t>"_s);
        const qsizetype third = sheet.indexOf(u"<t>中文宽字符</t>"_s);
        QVERIFY2(first > 0 && first < second && second < third, qPrintable(sheet));
        QVERIFY(sheet.contains(u"<t>line1\nline2</t>"_s));
        QVERIFY(sheet.contains(u"<t>&lt;x&amp;y&gt;</t>"_s));
        // Only the finished workbook is left in the folder.
        QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"t.xls"_s});
    }

    void refusedCharactersAndOverlongTextAreCleaned()
    {
        const QString control = u"a\x01" u"b\x0B" u"c\x1F" u"d"_s;
        QVERIFY(execResult(u"insert into datalist (c1, c2) values (?, ?)"_s, {control, QString(40000, u'x')}));
        PAGRION_VERIFY_OK(exportDatalist(out(u"c.xls"_s), ExportFormat::Spreadsheet));
        const QByteArray sheet = zipEntry(readAll(out(u"c.xls"_s)), "xl/worksheets/sheet1.xml");
        QVERIFY(sheet.contains("<t>abcd</t>"));
        QVERIFY(sheet.contains(QByteArray(QByteArray(32767, 'x') + "</t>")));
        QVERIFY(!sheet.contains(QByteArray(32768, 'x')));
        PAGRION_VERIFY_OK(exportDatalist(out(u"c.html"_s), ExportFormat::Html));
        QVERIFY(readAll(out(u"c.html"_s)).contains("<td>abcd</td>"));
    }

    void failureKeepsTheExistingFile()
    {
        QVERIFY(!exportDatalist(out(u"no/such/folder/x.xls"_s), ExportFormat::Spreadsheet));
        QFile old(out(u"keep.txt"_s));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QVERIFY(execResult(u"drop table datalist"_s));
        QVERIFY(!exportDatalist(out(u"keep.txt"_s), ExportFormat::Text));
        QCOMPARE(readAll(out(u"keep.txt"_s)), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
