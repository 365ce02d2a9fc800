#include "store/tablewriter.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Rows of cells between separators, the way spreadsheets read CSV: a cell
// that holds the separator, a quote or a line break is enclosed in quotes,
// its quotes doubled. Rows end in CR LF; line breaks inside cells stay LF.
// The byte order mark tells spreadsheets the file is UTF-8.
class DelimitedWriter final : public TableWriter
{
public:
    explicit DelimitedWriter(QChar separator) : m_separator(separator) {}

    Status start(const QString &path, const QStringList &header) override
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly))
            return Error{m_file.errorString()};
        if (m_file.write("\xEF\xBB\xBF") != 3)
            return Error{m_file.errorString()};
        return writeRow(header);
    }

    Status writeRow(const QStringList &cells) override
    {
        QString line;
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (c > 0)
                line += m_separator;
            line += quoted(cells[c]);
        }
        line += u"\r\n"_s;
        if (m_file.write(line.toUtf8()) < 0)
            return Error{m_file.errorString()};
        return success();
    }

    Status finish() override
    {
        if (!m_file.commit())
            return Error{m_file.errorString()};
        return success();
    }

private:
    QString quoted(const QString &cell) const
    {
        const bool plain = !cell.contains(m_separator) && !cell.contains(u'"') && !cell.contains(u'\n')
            && !cell.contains(u'\r');
        if (plain)
            return cell;
        return u'"' + QString(cell).replace(u'"', u"\"\""_s) + u'"';
    }

    QChar m_separator;
    QSaveFile m_file;
};

} // namespace

std::unique_ptr<TableWriter> makeCsvWriter()
{
    return std::make_unique<DelimitedWriter>(u',');
}

std::unique_ptr<TableWriter> makeTabTextWriter()
{
    return std::make_unique<DelimitedWriter>(u'\t');
}

} // namespace pagrion
