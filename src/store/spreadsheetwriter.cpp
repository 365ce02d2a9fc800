#include "store/tablewriter.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// The longest text a spreadsheet cell takes; longer text is cut, not refused.
constexpr qsizetype MaxCellLength = 32767;

// A line break in a cell is a lone LF to a spreadsheet.
QString fitCell(QString cell)
{
    if (cell.contains(u'\r')) {
        cell.replace(u"\r\n"_s, u"\n"_s);
        cell.replace(u'\r', u'\n');
    }
    if (cell.size() <= MaxCellLength)
        return cell;
    qsizetype length = MaxCellLength;
    if (cell[length - 1].isHighSurrogate())
        --length;
    cell.truncate(length);
    return cell;
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

class SpreadsheetWriter final : public TableWriter
{
public:
    ~SpreadsheetWriter() override
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

        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_book = workbook_new_opt(QFile::encodeName(m_part).constData(), &options);
        if (!m_book)
            return Error{u"电子表格无法创建。"_s};
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
        return addSheet();
    }

    Status writeRow(const QStringList &cells) override
    {
        if (m_row == LXW_ROW_MAX) {
            if (Status added = addSheet(); !added)
                return added;
        }
        return writeCells(cells, nullptr);
    }

    Status finish() override
    {
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

private:
    // A sheet holds about a million rows; later rows go on to further sheets,
    // each with the header again.
    Status addSheet()
    {
        ++m_sheets;
        const QString name = m_sheets == 1 ? u"datalist"_s : u"datalist"_s + QString::number(m_sheets);
        m_sheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
        if (!m_sheet)
            return Error{u"电子表格无法创建。"_s};
        m_row = 0;
        return writeCells(m_header, m_bold);
    }

    Status writeCells(const QStringList &cells, lxw_format *format)
    {
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (cells[c].isEmpty())
                continue;
            const lxw_error written = worksheet_write_string(m_sheet, m_row, lxw_col_t(c),
                                                             fitCell(cells[c]).toUtf8().constData(), format);
            if (written != LXW_NO_ERROR)
                return workbookError(written);
        }
        ++m_row;
        return success();
    }

    QString m_path;
    QStringList m_header;
    QString m_part; // empty once renamed
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_row_t m_row = 0;
    int m_sheets = 0;
};

} // namespace

std::unique_ptr<TableWriter> makeSpreadsheetWriter()
{
    return std::make_unique<SpreadsheetWriter>();
}

} // namespace pagrion
