#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include "extract/pagelabels.h"

class QLabel;
class QLineEdit;
class QWebEnginePage;
class QWebEngineView;

namespace pagrion {

// "网页预览": the page the main window loads, shown in a browser view of its
// own, with every table (or every element of the class's tag) outlined and
// labelled with the name the analysis gives it. Clicking a label adds the
// name to the table names, or in element list mode the row name to the row
// filter; hovering a label shows the first cells. The window only looks: it
// never drives the main window's browser and never changes an analysis.
class FrmWebPreview final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmWebPreview)

public:
    // The boxes picked names go to: the main window's Text4 and Text3.
    FrmWebPreview(QLineEdit *tableNames, QLineEdit *rowFilter, QWidget *parent = nullptr);
    ~FrmWebPreview() override;

    // Loads the address the main window's browser was sent to.
    void followPage(const QString &address);
    // The main window's class value: "table" labels tables, a tag its elements.
    void setClassValue(const QString &classValue);

    // The labels as the page last reported them.
    const QList<PageLabel> &labels() const { return m_labels; }

    QWebEngineView *WebBrowser1;
    QLabel *Label1; // the status line

Q_SIGNALS:
    // The page reported its labels anew.
    void labelled();

private:
    void relabel();
    void onConsoleMessage(const QString &message);
    void pick(int index);

    PageLabeller m_labeller;
    QWebEnginePage *m_page;
    QPointer<QLineEdit> m_tableNames;
    QPointer<QLineEdit> m_rowFilter;
    QList<PageLabel> m_labels;
    bool m_loading = false;
};

} // namespace pagrion
