#include "store/tablewriter.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Escaped for element content; a line break inside a cell is kept as <br>.
QString htmlCell(const QString &cell)
{
    QString html = cell.toHtmlEscaped();
    html.replace(u"\r\n"_s, u"<br>"_s);
    html.replace(u'\r', u"<br>"_s);
    html.replace(u'\n', u"<br>"_s);
    return html;
}

class HtmlTableWriter final : public TableWriter
{
public:
    Status start(const QString &path, const QStringList &header) override
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly))
            return Error{m_file.errorString()};
        QString head = u"<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>datalist</title>\n"
                       u"</head>\n<body>\n<table border=\"1\">\n<thead>\n"_s;
        head += row(u"th"_s, header);
        head += u"</thead>\n<tbody>\n"_s;
        return write(head);
    }

    Status writeRow(const QStringList &cells) override { return write(row(u"td"_s, cells)); }

    Status finish() override
    {
        if (Status written = write(u"</tbody>\n</table>\n</body>\n</html>\n"_s); !written)
            return written;
        if (!m_file.commit())
            return Error{m_file.errorString()};
        return success();
    }

private:
    static QString row(const QString &tag, const QStringList &cells)
    {
        QString html = u"<tr>"_s;
        for (const QString &cell : cells)
            html += u'<' + tag + u'>' + htmlCell(cell) + u"</"_s + tag + u'>';
        return html + u"</tr>\n"_s;
    }

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
