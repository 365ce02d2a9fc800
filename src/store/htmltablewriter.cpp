#include "store/tablewriter.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Spreadsheets open the page as a sheet. Every cell is marked as text, for
// Excel by the style sheet's mso-number-format and for LibreOffice by each
// cell's sdnum, so codes keep their leading zeros, long numbers their digits
// and nothing is computed. A line break inside a cell is a character
// reference: browsers show it through white-space, LibreOffice keeps it
// inside the cell, where a <br> would start a new row.
constexpr char16_t PageHead[] = u"<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                                u"<title>datalist</title>\n<style>\n"
                                u"table { border-collapse: collapse; }\n"
                                u"th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; "
                                u"vertical-align: top; white-space: pre-wrap; mso-number-format: \"\\@\"; }\n"
                                u"th { background: #eee; }\n"
                                u"</style>\n</head>\n<body>\n<table>\n<thead>\n";
constexpr char16_t TextCell[] = u"<td sdnum=\"2052;0;@\">";

QString escaped(const QString &cell)
{
    return cell.toHtmlEscaped().replace(u'\n', u"&#10;"_s);
}

class HtmlTableWriter final : public TableWriter
{
public:
    Status start(const QString &path, const QStringList &header) override
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly))
            return Error{m_file.errorString()};
        QString head = QString::fromUtf16(PageHead) + u"<tr>"_s;
        for (const QString &cell : header)
            head += u"<th>"_s + escaped(cell) + u"</th>"_s;
        return write(head + u"</tr>\n</thead>\n<tbody>\n"_s);
    }

    Status writeRow(const QStringList &cells) override
    {
        QString row = u"<tr>"_s;
        for (const QString &cell : cells)
            row += QString::fromUtf16(TextCell) + escaped(cell) + u"</td>"_s;
        return write(row + u"</tr>\n"_s);
    }

    Status finish() override
    {
        if (Status written = write(u"</tbody>\n</table>\n</body>\n</html>\n"_s); !written)
            return written;
        if (!m_file.commit())
            return Error{m_file.errorString()};
        return success();
    }

private:
    Status write(const QString &html)
    {
        if (m_file.write(html.toUtf8()) < 0)
            return Error{m_file.errorString()};
        return success();
    }

    QSaveFile m_file;
};

} // namespace

std::unique_ptr<TableWriter> makeHtmlTableWriter()
{
    return std::make_unique<HtmlTableWriter>();
}

} // namespace pagrion
