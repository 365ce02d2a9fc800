#pragma once

#include <optional>

#include <QList>
#include <QRectF>
#include <QString>

namespace pagrion {

class Document;

// One label drawn over the page, as the page reported it.
struct PageLabel
{
    QString name;        // TableName3, or TableName1-7 in element list mode
    bool shown = false;  // false for an element the page does not lay out (hidden)
    QString firstCells;  // the first row's cells joined by "｜", or the element's text; cut short
    QRectF box;          // where the label is drawn, in the view's CSS pixels
};

// What the labels in the page tell the window.
struct LabelReport
{
    enum class Kind { Labelled, Picked };
    Kind kind = Kind::Labelled;
    QList<PageLabel> labels; // Labelled: every label, in the analysis's order
    int index = -1;          // Picked: the index of the clicked label
};

// The labels of the page preview. Table mode outlines every table element of
// the page and names it as the table analysis does (TableName and its index
// in document order, nested tables included); element list mode names every
// element of the class's tag with its row name. The labels enumerate the
// DOM as the analysis does, and live in a closed shadow tree, so they are
// never among the elements they count. A table's label sits above it; an
// element's on a line of its own text, beside it, never over the text of
// any element.
//
// The page is shown with its scripts off, as the engines read it: what a
// noscript holds is no part of it.
//
// The page talks back through its console: each message starts with the
// labeller's token, which the page's own scripts cannot read, so a page
// cannot pose as a click on a label.
class PageLabeller final
{
public:
    explicit PageLabeller(QString token);

    // "table" (or no class yet) labels tables; any other value is a tag name.
    void setClassValue(const QString &classValue);
    bool tableMode() const { return m_tagName.isEmpty(); }

    QString labelName(int index) const;
    // How many labels the analysis of the document gives: its tables, or its
    // elements of the class's tag. Reading it may raise DocumentError.
    qsizetype analysedCount(const Document &document) const;

    // The script that (re)draws the labels; run it in the page after each
    // load and after each change of class.
    QString script() const;
    // The script that takes the labels off the page again.
    static QString removalScript();

    // A console message of the page read as a report of the labels; nullopt
    // for anything else the page logs, and for a report that does not parse.
    std::optional<LabelReport> read(const QString &consoleMessage) const;

private:
    QString m_token;
    QString m_tagName; // empty in table mode
};

// The "|"-separated name list with the name added at its end; a list that
// names it already stays as it is.
QString addName(const QString &list, const QString &name);

} // namespace pagrion
