#include "app/frmwebpreview.h"

#include <functional>

#include <QLabel>
#include <QLineEdit>
#include <QUuid>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "chrome/skinnedframe.h"
#include "engine/webenginenetwork.h"
#include "platform/widgetnames.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// The preview's page: it hands its console to the window, keeps to the page
// the main window loaded (a clicked link or a sent form would lead away from
// it), and answers a script's boxes with Cancel without showing them.
class PreviewPage final : public QWebEnginePage
{
public:
    PreviewPage(std::function<void(const QString &)> console, QObject *parent)
        : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent), m_console(std::move(console))
    {
        // Read as the full browser engine reads a page that names no encoding.
        settings()->setDefaultTextEncoding(u"utf-8"_s);
        // Through the same proxy, trusting the same certificates.
        new PageNetwork(this);
    }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &message, int,
                                  const QString &) override
    {
        m_console(message);
    }

    bool acceptNavigationRequest(const QUrl &, NavigationType type, bool isMainFrame) override
    {
        return !isMainFrame
            || (type != NavigationTypeLinkClicked && type != NavigationTypeFormSubmitted
                && type != NavigationTypeBackForward);
    }

    void javaScriptAlert(const QUrl &, const QString &) override {}
    bool javaScriptConfirm(const QUrl &, const QString &) override { return false; }
    bool javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *) override { return false; }

private:
    std::function<void(const QString &)> m_console;
};

} // namespace

FrmWebPreview::FrmWebPreview(QLineEdit *tableNames, QLineEdit *rowFilter, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , WebBrowser1(named(new QWebEngineView(this), u"WebBrowser1"_s))
    , Label1(named(new QLabel(this), u"Label1"_s))
    , m_labeller(QUuid::createUuid().toString(QUuid::Id128))
    , m_page(new PreviewPage([this](const QString &message) { onConsoleMessage(message); }, this))
    , m_tableNames(tableNames)
    , m_rowFilter(rowFilter)
{
    setObjectName(u"FrmWebPreview"_s);
    setWindowTitle(u"网页预览"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    SkinnedFrame::install(this);

    WebBrowser1->setPage(m_page);
    // The labels take the clicks; the browser's own menu would lead elsewhere.
    WebBrowser1->setContextMenuPolicy(Qt::NoContextMenu);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(WebBrowser1, 1);
    layout->addWidget(Label1);
    Label1->setText(u"没有网页：在主窗口登陆网页后，这里显示该网页并标出表名称。"_s);
    resize(1000, 720);

    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        m_loading = true;
        m_labels.clear();
        Label1->setText(u"正在打开网页... %1"_s.arg(m_page->requestedUrl().toString()));
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] {
        m_loading = false;
        relabel();
    });
}

FrmWebPreview::~FrmWebPreview()
{
    // The view goes before its page.
    delete WebBrowser1;
}

void FrmWebPreview::followPage(const QString &address)
{
    if (address.isEmpty())
        return;
    m_loading = true;
    m_labels.clear();
    m_page->load(QUrl::fromUserInput(address));
}

void FrmWebPreview::setClassValue(const QString &classValue)
{
    m_labeller.setClassValue(classValue);
    if (!m_loading && !m_page->url().isEmpty())
        relabel();
}

void FrmWebPreview::relabel()
{
    m_page->runJavaScript(m_labeller.script(), QWebEngineScript::ApplicationWorld);
}

void FrmWebPreview::onConsoleMessage(const QString &message)
{
    // While the next page loads, what the last one says is out of date.
    const std::optional<LabelReport> report = m_labeller.read(message);
    if (!report || m_loading)
        return;
    if (report->kind == LabelReport::Kind::Picked) {
        pick(report->index);
        return;
    }
    m_labels = report->labels;
    qsizetype hidden = 0;
    for (const PageLabel &label : std::as_const(m_labels))
        hidden += label.shown ? 0 : 1;
    const QString what = m_labeller.tableMode() ? u"%1 个表格，单击名称把它加入表名称"_s.arg(m_labels.size())
                                                : u"%1 个元素，单击名称把它加入过滤行设置"_s.arg(m_labels.size());
    Label1->setText(u"已标出 "_s + what + (hidden ? u"（其中 %1 个不可见）"_s.arg(hidden) : QString()));
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
