#include <optional>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <zlib.h>

#include "store/columnnames.h"
#include "store/database.h"
#include "store/resultstore.h"
#include "store/export.h"
#include "support/resultcheck.h"
#include "support/tempprogramfolder.h"

using namespace Qt::StringLiterals;
using namespace pagrion;
using namespace pagrion::test;

Q_DECLARE_METATYPE(ExportFormat)
Q_DECLARE_METATYPE(std::optional<ExportTarget>)

namespace {

const QString Long = QString(40000, u'长');

// Records as a batch run stores them: every first value starts with the
// row text's CR LF.
const QList<QStringList> GoldenRecords = {
    {u"\r\n名称"_s, u"价格"_s, u"代码"_s, u"备注"_s},
    {u"\r\n苹果, 红色"_s, u"他说\"好\""_s, u"000123"_s, u"a|b<rows>"_s},
    {u"\r\n第一行\r\n第二行"_s, u"=1+1"_s, u"110101199001011234"_s, u"<b>&amp;</b>\x07\t尾"_s},
    {u"\r\n长文本"_s, Long, u"0012"_s, u"\r\n前后换行\r\n"_s},
};

// What every export shows of them, under its header.
const QList<QStringList> Shown = {
    {u"第1列"_s, u"第2列"_s, u"第3列"_s, u"第4列"_s},
    {u"名称"_s, u"价格"_s, u"代码"_s, u"备注"_s},
    {u"苹果, 红色"_s, u"他说\"好\""_s, u"000123"_s, u"a|b<rows>"_s},
    {u"第一行\n第二行"_s, u"=1+1"_s, u"110101199001011234"_s, u"<b>&amp;</b>\t尾"_s},
    {u"长文本"_s, Long, u"0012"_s, u"前后换行"_s},
};

bool execResult(const QString &statement, const QVariantList &values = {})
{
    Database db;
    return db.open(programFolder().resultDatabasePath()) && db.run(statement, values).ok();
}

bool execConfig(const QString &statement)
{
    Database db;
    return db.open(programFolder().configDatabasePath()) && db.run(statement).ok();
}

bool storeGoldenRecords()
{
    for (const QStringList &record : GoldenRecords) {
        if (!execResult(u"insert into datalist (c1, c2, c3, c4) values (?, ?, ?, ?)"_s,
                        {record[0], record[1], record[2], record[3]}))
            return false;
    }
    return true;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A golden file; "@LONG@" in it stands for the 40,000-character value.
QByteArray golden(const QString &name)
{
    const QString path = qEnvironmentVariable("PAGRION_SOURCE_DIR") + u"/tests/store/golden/export/"_s + name;
    return readAll(path).replace("@LONG@", Long.toUtf8());
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

// What a workbook's first sheet says about its cells and columns.
struct Sheet
{
    QMap<QString, QString> text;  // cell reference -> its inline text
    QMap<QString, int> style;     // cell reference -> index into the cell formats
    QList<double> widths;         // per column
    QString frozenPane;           // the pane's ySplit when it is frozen
    QString filter;               // the autofilter's range
};

Sheet readSheet(const QByteArray &xml)
{
    Sheet sheet;
    QXmlStreamReader reader(xml);
    QString cell;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = reader.attributes();
        const auto name = reader.name();
        if (name == u"c") {
            cell = attributes.value(u"r"_s).toString();
            sheet.style[cell] = attributes.value(u"s"_s).toInt();
        } else if (name == u"t") {
            sheet.text[cell] = reader.readElementText();
        } else if (name == u"col") {
            sheet.widths << attributes.value(u"width"_s).toDouble();
        } else if (name == u"pane" && attributes.value(u"state"_s) == u"frozen") {
            sheet.frozenPane = attributes.value(u"ySplit"_s).toString();
        } else if (name == u"autoFilter") {
            sheet.filter = attributes.value(u"ref"_s).toString();
        }
    }
    return sheet;
}

// The cell formats of a workbook: whether each is bold, wraps, and its
// number format id (49 is text, "@").
struct CellFormat
{
    bool bold = false;
    bool wrap = false;
    int numberFormat = 0;
};

QList<CellFormat> readCellFormats(const QByteArray &xml)
{
    QList<bool> boldFonts;
    QList<CellFormat> formats;
    QXmlStreamReader reader(xml);
    bool inCellFormats = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == u"cellXfs")
            inCellFormats = false;
        if (!reader.isStartElement())
            continue;
        if (reader.name() == u"font")
            boldFonts << false;
        else if (reader.name() == u"b" && !boldFonts.isEmpty())
            boldFonts.last() = true;
        else if (reader.name() == u"cellXfs")
            inCellFormats = true;
        else if (inCellFormats && reader.name() == u"xf")
            formats << CellFormat{boldFonts.value(reader.attributes().value(u"fontId"_s).toInt()), false,
                                  reader.attributes().value(u"numFmtId"_s).toInt()};
        else if (inCellFormats && reader.name() == u"alignment")
            formats.last().wrap = reader.attributes().value(u"wrapText"_s) == u"1";
    }
    return formats;
}

QList<QStringList> rowsOf(const QJsonValue &rows)
{
    QList<QStringList> table;
    for (const QJsonValue &row : rows.toArray()) {
        QStringList cells;
        for (const QJsonValue &cell : row.toArray())
            cells << cell.toString();
        table << cells;
    }
    return table;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private:
    std::optional<TempProgramFolder> m_folder;
    std::optional<QTemporaryDir> m_out;

    QString out(const QString &name) const { return m_out->filePath(name); }

    Result<ExportReport> exportAs(ExportFormat format, const QString &name)
    {
        return exportDatalist(ExportTarget{format, out(name)});
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

    void targetFollowsTheName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<std::optional<ExportTarget>>("target");
        const auto target = [](ExportFormat format, const QString &path) {
            return std::optional(ExportTarget{format, path});
        };
        QTest::newRow("xls gets its x") << u"/t/data.xls"_s << target(ExportFormat::Workbook, u"/t/data.xlsx"_s);
        QTest::newRow("in its case") << u"/t/DATA.XLS"_s << target(ExportFormat::Workbook, u"/t/DATA.XLSX"_s);
        QTest::newRow("xlsx") << u"/t/data.xlsx"_s << target(ExportFormat::Workbook, u"/t/data.xlsx"_s);
        QTest::newRow("csv") << u"/t/data.CSV"_s << target(ExportFormat::Csv, u"/t/data.CSV"_s);
        QTest::newRow("last extension counts")
            << u"/t/report.txt.xls"_s << target(ExportFormat::Workbook, u"/t/report.txt.xlsx"_s);
        QTest::newRow("folder word, other name")
            << u"/t/xlsdata/out.html"_s << target(ExportFormat::Workbook, u"/t/xlsdata/out.html"_s);
        QTest::newRow("csv folder, csv name") << u"/t/csv/a.csv"_s << target(ExportFormat::Csv, u"/t/csv/a.csv"_s);
        QTest::newRow("txt before html") << u"/t/txt/out.html"_s << target(ExportFormat::Text, u"/t/txt/out.html"_s);
        QTest::newRow("html anywhere") << u"/t/a.shtml"_s << target(ExportFormat::Html, u"/t/a.shtml"_s);
        QTest::newRow("htm is not html") << u"/t/page.htm"_s << std::optional<ExportTarget>();
        QTest::newRow("no word") << u"/t/data.doc"_s << std::optional<ExportTarget>();
    }
    void targetFollowsTheName()
    {
        QFETCH(QString, path);
        QFETCH(std::optional<ExportTarget>, target);
        QCOMPARE(exportTargetFor(path), target);
    }

    void goldenFiles_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("filled");
        for (const bool filled : {true, false}) {
            const QString table = filled ? u"table"_s : u"empty"_s;
            QTest::addRow("csv %s", qPrintable(table)) << ExportFormat::Csv << table + u".csv"_s << filled;
            QTest::addRow("text %s", qPrintable(table)) << ExportFormat::Text << table + u".txt"_s << filled;
            QTest::addRow("html %s", qPrintable(table)) << ExportFormat::Html << table + u".html"_s << filled;
        }
    }
    void goldenFiles()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QString, name);
        QFETCH(bool, filled);
        if (filled)
            QVERIFY(storeGoldenRecords());
        const auto report = exportAs(format, name);
        PAGRION_VERIFY_OK(report);
        QCOMPARE(report.value().records, filled ? 4 : 0);
        QCOMPARE(report.value().cutCells, 0);
        const QByteArray written = readAll(out(name));
        if (written != golden(name)) {
            QFile actual(QDir::temp().filePath(u"pagrion-actual-"_s + name));
            if (actual.open(QIODevice::WriteOnly))
                actual.write(written);
            QFAIL(qPrintable(u"%1 differs from its golden file; written: %2"_s.arg(name, actual.fileName())));
        }
    }

    // Other programs' readers see exactly the values shown, the long one cut
    // only in the workbook.
    void otherProgramsReadItBack_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("csv") << ExportFormat::Csv << u"csv"_s << u"t.csv"_s;
        QTest::newRow("text") << ExportFormat::Text << u"text"_s << u"t.txt"_s;
        QTest::newRow("workbook") << ExportFormat::Workbook << u"workbook"_s << u"t.xlsx"_s;
    }
    void otherProgramsReadItBack()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QString, kind);
        QFETCH(QString, name);
        if (QStringLiteral(PAGRION_PYTHON).isEmpty())
            QSKIP("python3 is not installed");
        QVERIFY(storeGoldenRecords());
        PAGRION_VERIFY_OK(exportAs(format, name));
        QProcess python;
        python.start(QStringLiteral(PAGRION_PYTHON),
                     {qEnvironmentVariable("PAGRION_SOURCE_DIR") + u"/tests/store/readback.py"_s, out(name), kind});
        QVERIFY(python.waitForFinished(60'000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();

        QList<QStringList> expected = Shown;
        if (format == ExportFormat::Workbook) {
            expected[4][1].truncate(32767);
            QCOMPARE(read.value(u"freeze"_s).toString(), u"A2"_s);
            QCOMPARE(read.value(u"filter"_s).toString(), u"A1:D5"_s);
        }
        QCOMPARE(rowsOf(read.value(u"rows"_s)), expected);
    }

    void workbookIsLaidOutForReading()
    {
        QVERIFY(storeGoldenRecords());
        const auto report = exportAs(ExportFormat::Workbook, u"t.xlsx"_s);
        PAGRION_VERIFY_OK(report);
        QCOMPARE(report.value().cutCells, 1);
        const QByteArray book = readAll(out(u"t.xlsx"_s));
        const Sheet sheet = readSheet(zipEntry(book, "xl/worksheets/sheet1.xml"));
        const QList<CellFormat> formats = readCellFormats(zipEntry(book, "xl/styles.xml"));

        QCOMPARE(sheet.text.value(u"A1"_s), u"第1列"_s);
        QCOMPARE(sheet.text.value(u"A4"_s), u"第一行\n第二行"_s);
        QCOMPARE(sheet.text.value(u"B5"_s).size(), 32767);
        QCOMPARE(sheet.frozenPane, u"1"_s);
        QCOMPARE(sheet.filter, u"A1:D5"_s);
        for (const QString &cell : sheet.style.keys()) {
            const CellFormat format = formats.value(sheet.style[cell]);
            QVERIFY2(format.numberFormat == 49, qPrintable(cell)); // text, so 000123 stays as it is
            QCOMPARE(format.bold, cell.mid(1) == u"1");
            QCOMPARE(format.wrap, cell == u"A4");
        }
        // Widest line plus room for the filter button, in digit widths; the
        // long column is capped. CJK characters count two.
        QCOMPARE(sheet.widths.size(), 4);
        QVERIFY2(qAbs(sheet.widths[0] - 13.71) < 0.01, qPrintable(QString::number(sheet.widths[0])));
        QVERIFY2(qAbs(sheet.widths[1] - 60.71) < 0.01, qPrintable(QString::number(sheet.widths[1])));
        QVERIFY2(qAbs(sheet.widths[2] - 21.71) < 0.01, qPrintable(QString::number(sheet.widths[2])));

        // An empty table still has its header, frozen and filtered.
        QVERIFY(execResult(u"delete from datalist"_s));
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Workbook, u"e.xlsx"_s));
        const Sheet empty = readSheet(zipEntry(readAll(out(u"e.xlsx"_s)), "xl/worksheets/sheet1.xml"));
        QCOMPARE(empty.text.keys(), QStringList{u"A1"_s});
        QCOMPARE(empty.filter, u"A1"_s);
        // Only the finished workbooks are left in the folder.
        QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden), (QStringList{u"e.xlsx"_s, u"t.xlsx"_s}));
    }

    // A stored field list names the columns and reaches as far as its last field.
    void fieldListNamesTheColumns()
    {
        QVERIFY(execConfig(u"insert into FileName (id, filedname) values ('1', '名称'), (' 3', ' 价格 '), "
                           u"('3', '重复'), ('6', '备注'), ('0', '无位置')"_s));
        QVERIFY(execResult(u"insert into datalist (c1, c2) values ('\r\n名称：甲', '乙')"_s));
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Csv, u"f.csv"_s));
        QCOMPARE(readAll(out(u"f.csv"_s)),
                 QByteArray("\xEF\xBB\xBF名称,第2列,价格,第4列,第5列,备注\r\n名称：甲,乙,,,,\r\n"));
    }

    // Names a run gave the columns (a table's header, the source columns)
    // head every format, before the field list's and the numbers.
    void columnNamesHeadEveryFormat()
    {
        QVERIFY(execConfig(u"insert into FileName (id, filedname) values ('1', '字段一'), ('2', '字段二')"_s));
        {
            Database db;
            QVERIFY(db.open(programFolder().resultDatabasePath()));
            PAGRION_VERIFY_OK(nameColumns(db, {u"片名"_s, QString(), u"来源网址"_s, u"行号"_s}));
            PAGRION_VERIFY_OK(nameColumns(db, {u"不替换"_s}));
        }
        QVERIFY(execResult(u"insert into datalist (c1, c2, c3, c4) values ('活着', '1994', 'http://a.test/1', '1')"_s));
        const QStringList header{u"片名"_s, u"字段二"_s, u"来源网址"_s, u"行号"_s};
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Csv, u"n.csv"_s));
        QVERIFY(readAll(out(u"n.csv"_s)).startsWith(QByteArray("\xEF\xBB\xBF" + header.join(u',').toUtf8() + "\r\n")));
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Text, u"n.txt"_s));
        QVERIFY(readAll(out(u"n.txt"_s)).startsWith(QByteArray("\xEF\xBB\xBF" + header.join(u'\t').toUtf8() + "\r\n")));
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Html, u"n.html"_s));
        const QString html = QString::fromUtf8(readAll(out(u"n.html"_s)));
        for (const QString &name : header)
            QVERIFY2(html.contains(name), qPrintable(name));
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Workbook, u"n.xlsx"_s));
        const Sheet sheet = readSheet(zipEntry(readAll(out(u"n.xlsx"_s)), "xl/worksheets/sheet1.xml"));
        QCOMPARE((QStringList{sheet.text.value(u"A1"_s), sheet.text.value(u"B1"_s), sheet.text.value(u"C1"_s),
                              sheet.text.value(u"D1"_s)}),
                 header);

        // Emptying the results forgets the names with the records.
        PAGRION_VERIFY_OK(clearRecords());
        PAGRION_VERIFY_OK(exportAs(ExportFormat::Csv, u"e.csv"_s));
        QVERIFY(readAll(out(u"e.csv"_s)).startsWith("\xEF\xBB\xBF字段一,字段二\r\n"));
    }

    void messageSaysWhatTheUserMustKnow()
    {
        ExportReport report{ExportTarget{ExportFormat::Workbook, u"/t/r.xlsx"_s}, 3, 0};
        QCOMPARE(exportDoneMessage(report), u"您成功输出,文件：/t/r.xlsx"_s);
        report.records = 0;
        QVERIFY(exportDoneMessage(report).startsWith(u"您成功输出,文件：/t/r.xlsx\n"_s));
        QVERIFY(exportDoneMessage(report).contains(u"0 条记录"_s));
        report.records = 3;
        report.cutCells = 2;
        const QString cut = exportDoneMessage(report);
        QVERIFY(cut.startsWith(u"您成功输出,文件：/t/r.xlsx\n"_s));
        QVERIFY(cut.contains(u"32767"_s) && cut.contains(u".txt"_s) && cut.contains(u".html"_s));
    }

    void failureKeepsTheExistingFile()
    {
        QVERIFY(!exportAs(ExportFormat::Workbook, u"no/such/folder/x.xlsx"_s));
        QFile old(out(u"keep.txt"_s));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QVERIFY(execResult(u"drop table datalist"_s));
        QVERIFY(!exportAs(ExportFormat::Text, u"keep.txt"_s));
        QCOMPARE(readAll(out(u"keep.txt"_s)), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
