#include "store/tablewriter.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>

#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Column widths in Excel's unit, the width of one digit: a column is as wide
// as its longest line plus room for the filter button, within these bounds.
constexpr int MinColumnWidth = 6;
constexpr int MaxColumnWidth = 60;
constexpr int ColumnPadding = 3;

// Characters a spreadsheet draws two digits wide: the East Asian wide and
// fullwidth ranges, CJK first among them.
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

// The width of the widest line of a cell; counting stops once it passes
// what a column may take, so a long cell costs no more than a short one.
int cellWidth(const QString &cell)
{
    int widest = 0;
    int line = 0;
    for (qsizetype i = 0; i < cell.size() && widest <= MaxColumnWidth; ++i) {
        char32_t c = cell[i].unicode();
        if (c == u'\n') {
            line = 0;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < cell.size() && cell[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(cell[i], cell[i + 1]);
            ++i;
        }
        line += isWide(c) ? 2 : 1;
        widest = std::max(widest, line);
    }
    return widest;
}

// An empty file of a new name beside path, created the way any new file is
// (so it gets the usual permissions), or carrying those of the file it replaces.
Result<QString> createPartFile(const QString &path)
{
    const QFileInfo target(path);
    QString error;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = target.absoluteDir().filePath(
            u".%1.%2.part"_s.arg(target.fileName(), QString::number(QRandomGenerator::global()->generate(), 36)));
        QFile part(name);
        if (part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            part.close();
            if (target.exists())
                part.setPermissions(QFile::permissions(path));
            return name;
        }
        error = part.errorString();
        if (part.error() != QFileDevice::OpenError || !QFileInfo::exists(name))
            break;
    }
    return Error{u"无法在 %1 中创建文件：%2"_s.arg(QDir::toNativeSeparators(target.absolutePath()), error)};
}

Error workbookError(lxw_error error)
{
    return Error{u"电子表格无法写入：%1"_s.arg(QString::fromUtf8(lxw_strerror(error)))};
}

class WorkbookWriter final : public TableWriter
{
public:
    ~WorkbookWriter() override
    {
        if (m_book)
            lxw_workbook_free(m_book);
        if (!m_part.isEmpty())
            QFile::remove(m_part);
    }

    // The workbook is assembled under another name beside the target and
    // renamed at the end, so a failed export never leaves half a file.
    Status start(const QString &path, const QStringList &header) override
    {
        m_path = path;
        m_header = header;
        auto part = createPartFile(path);
        if (!part)
            return Error{part.error()};
        m_part = part.value();

        // Rows go to the file as they come; the column widths and the
        // filter, which precede or follow them in the file, are set at the end.
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_book = workbook_new_opt(QFile::encodeName(m_part).constData(), &options);
        if (!m_book)
            return Error{u"电子表格无法创建。"_s};
        // Every cell is text, so codes keep their leading zeros and nothing
        // is read as a number, a date or a formula.
        m_text = textFormat();
        m_wrapped = textFormat();
        format_set_text_wrap(m_wrapped);
        m_bold = textFormat();
        format_set_bold(m_bold);
        m_widths = QList<int>(header.size(), 0);
        return addSheet();
    }

    Status writeRow(const QStringList &cells) override
    {
        if (m_rows.constLast() == LXW_ROW_MAX) {
            if (Status added = addSheet(); !added)
                return added;
        }
        return writeCells(cells, false);
    }

    Status finish() override
    {
        const lxw_col_t lastCol = lxw_col_t(std::max<qsizetype>(m_header.size(), 1) - 1);
        for (qsizetype s = 0; s < m_sheets.size(); ++s) {
            for (qsizetype c = 0; c < m_widths.size(); ++c) {
                const double width = std::clamp(m_widths[c] + ColumnPadding, MinColumnWidth, MaxColumnWidth);
                if (lxw_error set = worksheet_set_column(m_sheets[s], lxw_col_t(c), lxw_col_t(c), width, m_text))
                    return workbookError(set);
            }
            if (lxw_error set = worksheet_autofilter(m_sheets[s], 0, 0, m_rows[s] - 1, lastCol))
                return workbookError(set);
        }
        const lxw_error closed = workbook_close(m_book);
        m_book = nullptr;
        if (closed != LXW_NO_ERROR)
            return workbookError(closed);
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(m_part.toStdU16String()),
                                std::filesystem::path(m_path.toStdU16String()), error);
        if (error)
            return Error{u"无法写入文件 %1：%2"_s.arg(QDir::toNativeSeparators(m_path),
                                                    QString::fromLocal8Bit(error.message()))};
        m_part.clear();
        return success();
    }

    int cutCells() const override { return m_cut; }

private:
    lxw_format *textFormat()
    {
        lxw_format *format = workbook_add_format(m_book);
        format_set_num_format_index(format, 49); // the built-in text format, "@"
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
        return format;
    }

    // A sheet holds about a million rows; later rows go on to further sheets,
    // each with the header again.
    Status addSheet()
    {
        const qsizetype number = m_sheets.size() + 1;
        const QString name = number == 1 ? u"datalist"_s : u"datalist"_s + QString::number(number);
        lxw_worksheet *sheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
        if (!sheet)
            return Error{u"电子表格无法创建。"_s};
        worksheet_freeze_panes(sheet, 1, 0);
        m_sheets << sheet;
        m_rows << 0;
        return writeCells(m_header, true);
    }

    Status writeCells(const QStringList &cells, bool header)
    {
        lxw_worksheet *sheet = m_sheets.constLast();
        lxw_row_t &row = m_rows.last();
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const QString &cell = cells[c];
            if (c < m_widths.size())
                m_widths[c] = std::max(m_widths[c], cellWidth(cell));
            if (cell.isEmpty())
                continue;
            lxw_format *format = header ? m_bold : cell.contains(u'\n') ? m_wrapped : m_text;
            const lxw_error written = worksheet_write_string(sheet, row, lxw_col_t(c),
                                                             fitted(cell).toUtf8().constData(), format);
            if (written != LXW_NO_ERROR)
                return workbookError(written);
        }
        ++row;
        return success();
    }

    // Text beyond what a cell holds is cut, never split inside a character.
    QString fitted(const QString &cell)
    {
        if (cell.size() <= MaxWorkbookCellLength)
            return cell;
        ++m_cut;
        qsizetype length = MaxWorkbookCellLength;
        if (cell[length - 1].isHighSurrogate())
            --length;
        return cell.left(length);
    }

    QString m_path;
    QStringList m_header;
    QString m_part; // empty once renamed
    lxw_workbook *m_book = nullptr;
    lxw_format *m_text = nullptr;
    lxw_format *m_wrapped = nullptr;
    lxw_format *m_bold = nullptr;
    QList<lxw_worksheet *> m_sheets;
    QList<lxw_row_t> m_rows; // rows written to each sheet
    QList<int> m_widths;
    int m_cut = 0;
};

} // namespace

std::unique_ptr<TableWriter> makeWorkbookWriter()
{
    return std::make_unique<WorkbookWriter>();
}

} // namespace pagrion
