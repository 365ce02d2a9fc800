#include "app/frmwebpreview.h"

#include <functional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QUuid>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "engine/document.h"
#include "engine/webengine/webenginenetwork.h"
#include "engine/webengine/webengineprofile.h"
#include "frame/skinnedframe.h"
#include "platform/widgetnames.h"

using namespace Qt::StringLiterals;

namespace pagrion {

// What the preview's page may fetch: never the page shown (a frame or a
// link to it would load it again), and nothing at all while it is offline.
// Addresses that name their content (data:, blob:) ask no site.
class ResourceFilter final : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setPage(const QUrl &page) { m_page = page.adjusted(QUrl::RemoveFragment); }
    void setOffline(bool offline) { m_offline = offline; }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        if (url.scheme() == u"data" || url.scheme() == u"blob")
            return;
        if (m_offline || url.adjusted(QUrl::RemoveFragment) == m_page)
            info.block(true);
    }

private:
    QUrl m_page;
    bool m_offline = false;
};

// The preview's page: scripts off, so the page stays as it was read and
// nothing of it asks for more; its console goes to the window. It keeps to
// what the window puts into it (a clicked link or a refresh would lead away
// from it), but a form is sent: a user logs in here, and the login is the
// whole program's.
class PreviewPage final : public QWebEnginePage
{
public:
    PreviewPage(std::function<void(const QString &)> console, QObject *parent)
        : QWebEnginePage(browserProfile(), parent), m_console(std::move(console))
    {
        // The labels run in a script world of their own, which this leaves on.
        settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        // A window without tabs shows no site icon: nothing to ask the site for.
        settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
        // Read as the full browser engine reads a page that names no encoding.
        settings()->setDefaultTextEncoding(u"utf-8"_s);
        // Through the same proxy, trusting the same certificates.
        new PageNetwork(this);
    }

    // Shows an empty page at this address, where the page's relative
    // addresses resolve.
    void showEmpty(const QUrl &address)
    {
        m_ownLoad = true;
        setHtml(QString(), address);
    }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                  const QString &) override
    {
        m_console(message);
    }

    bool acceptNavigationRequest(const QUrl &, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame || type == NavigationTypeFormSubmitted)
            return true;
        return std::exchange(m_ownLoad, false);
    }

private:
    std::function<void(const QString &)> m_console;
    bool m_ownLoad = false;
};

FrmWebPreview::FrmWebPreview(QLineEdit *tableNames, QLineEdit *rowFilter, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , WebBrowser1(named(new QWebEngineView(this), u"WebBrowser1"_s))
    , Label1(named(new QLabel(this), u"Label1"_s))
    , m_labeller(QUuid::createUuid().toString(QUuid::Id128))
    , m_filter(new ResourceFilter(this))
    , m_page(new PreviewPage([this](const QString &message) { onConsoleMessage(message); }, this))
    , m_tableNames(tableNames)
    , m_rowFilter(rowFilter)
{
    setObjectName(u"FrmWebPreview"_s);
    setWindowTitle(u"网页预览"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    SkinnedFrame::install(this);

    m_page->setUrlRequestInterceptor(m_filter);
    WebBrowser1->setPage(m_page);
    // The labels take the clicks; the browser's own menu would lead elsewhere.
    WebBrowser1->setContextMenuPolicy(Qt::NoContextMenu);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(WebBrowser1, 1);
    layout->addWidget(Label1);
    Label1->setWordWrap(true);
    Label1->setText(u"没有网页：在主窗口登陆网页后，这里显示该网页并标出表名称。"_s);
    resize(1000, 720);

    connect(m_page, &QWebEnginePage::loadFinished, this, &FrmWebPreview::onLoadFinished);
}

FrmWebPreview::~FrmWebPreview()
{
    // A page that goes answers the scripts still running in it: a write
    // under way must then find nothing left to do. The view goes before its
    // page, and the page before its filter.
    m_stage = Stage::Empty;
    delete WebBrowser1;
    delete m_page;
}

void FrmWebPreview::showPage(std::shared_ptr<const Document> document)
{
    if (document && document == m_document)
        return;
    m_document = std::move(document);
    m_notRead = m_document ? QString() : u"网页没有打开"_s;
    m_labels.clear();
    m_markup.clear();
    QUrl address;
    if (m_document) {
        try {
            m_markup = m_document->html();
            address = m_document->address();
            countAnalysed();
        } catch (const DocumentError &error) {
            m_notRead = QString::fromUtf8(error.what());
        }
    }
    ++m_generation;
    m_stage = Stage::Loading;
    m_filter->setPage(address);
    Label1->setText(u"正在显示网页... %1"_s.arg(address.toString()));
    // A page written into a view with setHtml must stay small; writing it
    // into an empty page at its address takes any size.
    m_page->showEmpty(address);
}

void FrmWebPreview::onLoadFinished(bool ok)
{
    if (m_stage != Stage::Loading || !ok)
        return;
    m_stage = Stage::Writing;
    const QString markup = QString::fromUtf8(QJsonDocument(QJsonArray{std::exchange(m_markup, QString())})
                                                 .toJson(QJsonDocument::Compact));
    // A noscript shows nothing in a browser that runs scripts, as the
    // engines read pages; the sheet is no element of the page.
    const QString write = uR"js((function (markup) {
    document.open();
    document.write(markup);
    document.close();
    var sheet = new CSSStyleSheet();
    sheet.replaceSync('noscript { display: none !important; }');
    document.adoptedStyleSheets = [sheet];
})(%1[0]);)js"_s;
    m_page->runJavaScript(write.arg(markup), QWebEngineScript::ApplicationWorld,
                          [this, generation = m_generation](const QVariant &) {
                              if (generation != m_generation || m_stage != Stage::Writing)
                                  return;
                              m_stage = Stage::Shown;
                              relabel();
                          });
}

void FrmWebPreview::setNotRead(const QString &reason)
{
    m_notRead = reason;
    relabel();
}

void FrmWebPreview::setClassValue(const QString &classValue)
{
    m_labeller.setClassValue(classValue);
    if (m_document) {
        try {
            countAnalysed();
        } catch (const DocumentError &error) {
            m_notRead = QString::fromUtf8(error.what());
        }
    }
    relabel();
}

void FrmWebPreview::setOffline(bool offline)
{
    m_filter->setOffline(offline);
}

void FrmWebPreview::countAnalysed()
{
    m_analysed = m_labeller.analysedCount(*m_document);
}

void FrmWebPreview::relabel()
{
    if (m_stage != Stage::Shown)
        return;
    if (!m_notRead.isEmpty()) {
        labelNothing(u"分析没有读到这一页（%1）"_s.arg(m_notRead));
        return;
    }
    m_page->runJavaScript(m_labeller.script(), QWebEngineScript::ApplicationWorld);
}

void FrmWebPreview::labelNothing(const QString &why)
{
    m_page->runJavaScript(PageLabeller::removalScript(), QWebEngineScript::ApplicationWorld);
    m_labels.clear();
    Label1->setText(why + (m_labeller.tableMode() ? u"，这里不标出表名称。"_s : u"，这里不标出元素名称。"_s));
    Q_EMIT labelled();
}

void FrmWebPreview::onConsoleMessage(const QString &message)
{
    // While the next page loads, what the last one says is out of date.
    const std::optional<LabelReport> report = m_labeller.read(message);
    if (!report || m_stage != Stage::Shown)
        return;
    if (report->kind == LabelReport::Kind::Picked)
        pick(report->index);
    else
        onLabelled(report->labels);
}

void FrmWebPreview::onLabelled(const QList<PageLabel> &labels)
{
    if (!m_notRead.isEmpty()) {
        relabel();
        return;
    }
    const QString what = m_labeller.tableMode() ? u"表格"_s : u"元素"_s;
    if (labels.size() != m_analysed) {
        labelNothing(u"这里显示的网页与分析读到的不同：分析读到 %1 个%3，这里有 %2 个"_s.arg(m_analysed)
                         .arg(labels.size())
                         .arg(what));
        return;
    }
    m_labels = labels;
    qsizetype hidden = 0;
    for (const PageLabel &label : std::as_const(m_labels))
        hidden += label.shown ? 0 : 1;
    const QString use = m_labeller.tableMode() ? u"单击名称把它加入表名称"_s : u"单击名称把它加入过滤行设置"_s;
    Label1->setText(u"已标出 %1 个%2，%3"_s.arg(m_labels.size()).arg(what, use)
                    + (hidden ? u"（其中 %1 个不可见）"_s.arg(hidden) : QString()));
    Q_EMIT labelled();
}

void FrmWebPreview::pick(int index)
{
    QLineEdit *box = m_labeller.tableMode() ? m_tableNames.data() : m_rowFilter.data();
    if (!box || index >= m_labels.size())
        return;
    const QString name = m_labeller.labelName(index);
    box->setText(addName(box->text(), name));
    Label1->setText(u"%1 已加入%2"_s.arg(name, m_labeller.tableMode() ? u"表名称"_s : u"过滤行设置"_s));
}

} // namespace pagrion
