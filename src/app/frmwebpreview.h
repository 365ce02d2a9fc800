#pragma once

#include <memory>

#include <QList>
#include <QPointer>
#include <QWidget>

#include "extract/pagelabels.h"

class QLabel;
class QLineEdit;
class QWebEngineView;

namespace pagrion {

class Document;
class PreviewPage;
class ResourceFilter;

// "网页预览": the page the main window's analysis reads, shown in a browser
// view of its own, with every table (or every element of the class's tag)
// outlined and labelled with the name the analysis gives it. Clicking a
// label adds the name to the table names, or in element list mode the row
// name to the row filter; hovering a label shows the first cells.
//
// The window shows what the engine loaded, written out as HTML, with the
// page's scripts off; it never asks a site for the page itself, so what it
// labels is what was analysed. Where the two still differ, or the analysis
// has nothing of the page, it says so and labels nothing. The window only
// looks: it never drives the main window's browser and never changes an
// analysis.
class FrmWebPreview final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmWebPreview)

public:
    // The boxes picked names go to: the main window's Text4 and Text3.
    FrmWebPreview(QLineEdit *tableNames, QLineEdit *rowFilter, QWidget *parent = nullptr);
    ~FrmWebPreview() override;

    // Shows the page the analysis reads; null when its load did not end.
    // The document shown already stays as it is.
    void showPage(std::shared_ptr<const Document> document);
    // The analysis has nothing of the page shown, for this reason.
    void setNotRead(const QString &reason);
    // The main window's class value: "table" labels tables, a tag its elements.
    void setClassValue(const QString &classValue);
    // While a batch run loads pages, the preview asks the sites for nothing,
    // not even a page's images and style sheets: every request to a site
    // keeps to the run's pace. Otherwise it fetches those, never the page.
    void setOffline(bool offline);

    // The labels as the page last reported them; none when it labels nothing.
    const QList<PageLabel> &labels() const { return m_labels; }

    QWebEngineView *WebBrowser1;
    QLabel *Label1; // the status line

Q_SIGNALS:
    // The page shown has been labelled, or the status line tells why not.
    void labelled();

private:
    enum class Stage { Empty, Loading, Writing, Shown };

    void onLoadFinished(bool ok);
    void relabel();
    // Takes the labels off and tells why there are none.
    void labelNothing(const QString &why);
    void onConsoleMessage(const QString &message);
    void onLabelled(const QList<PageLabel> &labels);
    void pick(int index);
    // Counts what the analysis of the page shown has for the class.
    void countAnalysed();

    PageLabeller m_labeller;
    ResourceFilter *m_filter;
    PreviewPage *m_page;
    QPointer<QLineEdit> m_tableNames;
    QPointer<QLineEdit> m_rowFilter;
    QList<PageLabel> m_labels;
    std::shared_ptr<const Document> m_document;
    QString m_markup; // of the page being shown, until it is written into the view
    QString m_notRead;
    qsizetype m_analysed = 0;
    Stage m_stage = Stage::Empty;
    // Counts the pages shown, so that the end of writing an earlier one is ignored.
    quint64 m_generation = 0;
};

} // namespace pagrion
