#pragma once

#include <optional>
#include <stdexcept>

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace pagrion {

// How a cell sits in its table: a <th> or a <td>, and the rows and columns
// it spans as the DOM reflects its rowspan and colspan (colSpan 1 to 1000,
// rowSpan 0 to 65534, where 0 reaches the end of the table).
struct CellSpan
{
    bool header = false;
    int rowSpan = 1;
    int colSpan = 1;

    bool operator==(const CellSpan &) const = default;
};

// One HTML table as the analysis sees it: its own rows (not those of tables
// nested in its cells), each row's cells, each cell's innerText, and beside
// them each cell's span, row for row and cell for cell.
struct HtmlTable
{
    QList<QStringList> rows;
    QList<QList<CellSpan>> spans;
};

// Raised by a document whose engine could not answer a read: a script engine
// that did not reply in time, or a read over the page's text limit.
class DocumentError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The loaded page as the program reads it. Every read returns a whole
// collection at once, so an engine that reads its DOM asynchronously can
// answer each read with one round trip.
class Document
{
public:
    virtual ~Document() = default;

    // Every table element in document order, nested tables included.
    virtual QList<HtmlTable> tables() const = 0;
    // The innerText of every element with this tag name, in document order.
    virtual QStringList elementTexts(const QString &tagName) const = 0;
    // The href of every link (a and area elements with an href), absolute.
    virtual QStringList links() const = 0;
    // The href of every a element, absolute, in document order: the same
    // elements as elementTexts("a"), with an empty text for one that links
    // nowhere.
    virtual QStringList anchorAddresses() const = 0;
    // The location of every frame (frame and iframe elements), absolute.
    virtual QStringList frames() const = 0;
    // The body's innerText; nullopt when the document has no body.
    virtual std::optional<QString> bodyText() const = 0;
    // The page as HTML, to show it elsewhere as it was read: for a page
    // parsed once its tree written out, for a live page the page as it
    // stands. Parsed again with scripts off it gives the same elements,
    // save what a live page's noscript elements hold as text.
    virtual QString html() const = 0;
    // Where the page came from, after redirects: the base its relative
    // addresses resolve against, unless it names another itself.
    virtual QUrl address() const = 0;
    // The memory the document holds in this process, roughly; 0 where the
    // page lives elsewhere (a browser's renderer).
    virtual qint64 heldBytes() const { return 0; }

    // Whether the body's innerText contains one of these texts, compared
    // exactly; nullopt when the document has no body. An engine may answer
    // without building the whole text.
    virtual std::optional<bool> bodyTextContainsAny(const QStringList &texts) const
    {
        const std::optional<QString> body = bodyText();
        if (!body)
            return std::nullopt;
        for (const QString &text : texts) {
            if (body->contains(text, Qt::CaseSensitive))
                return true;
        }
        return false;
    }
};

} // namespace pagrion
