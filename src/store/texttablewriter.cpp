#include "store/tablewriter.h"

#include <algorithm>
#include <utility>

#include <QList>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Characters a terminal or a fixed-width font shows two columns wide: the
// East Asian wide and fullwidth ranges, CJK first among them.
bool isWide(char32_t c)
{
    static constexpr std::pair<char32_t, char32_t> ranges[] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
        {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
        {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
    };
    for (const auto &[first, last] : ranges) {
        if (c < first)
            return false;
        if (c <= last)
            return true;
    }
    return false;
}

int displayWidth(QStringView text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing
            || category == QChar::Other_Format)
            continue;
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

// Every row stays on one line: each line break and tab becomes one space.
QString oneLine(const QString &cell)
{
    if (!cell.contains(u'\n') && !cell.contains(u'\r') && !cell.contains(u'\t'))
        return cell;
    QString line = cell;
    line.replace(u"\r\n"_s, u" "_s);
    for (QChar &c : line) {
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    }
    return line;
}

class TextTableWriter final : public TableWriter
{
public:
    bool needsMeasuring() const override { return true; }

    void measure(const QStringList &cells) override
    {
        if (m_widths.size() < cells.size())
            m_widths.resize(cells.size(), 0);
        for (qsizetype c = 0; c < cells.size(); ++c)
            m_widths[c] = std::max(m_widths[c], displayWidth(oneLine(cells[c])));
    }

    Status start(const QString &path, const QStringList &header) override
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly))
            return Error{m_file.errorString()};
        if (Status written = writeRow(header); !written)
            return written;
        QStringList rule;
        for (const int width : std::as_const(m_widths))
            rule << QString(width, u'-');
        return writeLine(rule.join(u"  "_s));
    }

    Status writeRow(const QStringList &cells) override
    {
        QString line;
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const QString cell = oneLine(cells[c]);
            if (c > 0)
                line += u"  "_s;
            line += cell;
            if (c < m_widths.size())
                line += QString(std::max(0, m_widths[c] - displayWidth(cell)), u' ');
        }
        return writeLine(line);
    }

    Status finish() override
    {
        if (!m_file.commit())
            return Error{m_file.errorString()};
        return success();
    }

private:
    // Lines end in CR LF, as plain text has always ended here; the padding
    // after the last cell is left off.
    Status writeLine(QString line)
    {
        qsizetype end = line.size();
        while (end > 0 && line[end - 1] == u' ')
            --end;
        line.truncate(end);
        line += u"\r\n"_s;
        if (m_file.write(line.toUtf8()) < 0)
            return Error{m_file.errorString()};
        return success();
    }

    QList<int> m_widths;
    QSaveFile m_file;
};

} // namespace

std::unique_ptr<TableWriter> makeTextTableWriter()
{
    return std::make_unique<TextTableWriter>();
}

} // namespace pagrion
