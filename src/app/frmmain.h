#pragma once

#include <functional>
#include <memory>

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "batch/batchrun.h"
#include "core/grid.h"
#include "layout/recordoptions.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolBar;

namespace pagrion {

class Browser;
class RowTextEdit;
class Document;
class FrmPreview;
class FrmWebPreview;
class PageWaiter;
struct LoadSettings;

// The main window: the page address and open button, the analysis class,
// table names and row filter, the analysis box, the batch settings and the
// status line. Controls are public and carry their names as objectName, so
// the other windows and the tests reach them the way the program does.
class FrmMain final : public QMainWindow, public RecordOptionsOwner
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmMain)

public:
    explicit FrmMain(Browser &browser, QWidget *parent = nullptr);
    ~FrmMain() override;

    // Start-up: fills the lists, restores the newest site and analyses it.
    void Form_Load();

    // Workflow commands.
    void command1_Click(); // 登陆: open the page in Text1
    void Combo1_Click();   // class choice: analyse the loaded page
    void command3_Click(); // 提取信息
    void command5_Click(); // 预览
    void command6_Click(); // 批量采集
    void command7_Click(); // 终止运行

    void DoFalse();
    void DoTrue();

    // Analysis and extraction into Text2.
    void GetTableMode();
    void GetTable();
    void GetClass(const QString &tagName);

    // Batch runs over an address pattern, the links of a start page, or the
    // chain of next-page links from a start page; false when the result
    // server set could not be used, so nothing was started.
    bool RunParameter();
    bool RunWebUrl();
    bool RunNextPage();
    BatchSettings batchSettings(BatchSettings::Mode mode) const;

    // Row text of Text2 into the preview grid and the main grid.
    void WriteTabel();
    void ZHWriteTabel();
    void GridWriteTabel();
    void GridZHWriteTabel();
    void WriteHead();

    // One page's records: the main grid from Text2, the record grid from the
    // stored layout or field list, the record grid into datalist.
    void SaveToGrid();
    bool GetDataInfor();
    bool GetDataInforForFiled();
    // The head length of the field list, from the stored setting.
    Result<int> headLength() const;
    void SaveData();
    void DelData();

    // Class list and saved site settings.
    void LoadClassName();
    QString GetClassName(const QString &str);
    void SaveSearch();
    void ReadSearch();
    void ReadAllSearch();
    // Puts a saved address at the top of the address list, once.
    void addSiteAddress(const QString &web);

    bool PageLoaded() const;
    // The value of the class last chosen: "table" or a tag name.
    const QString &classValue() const { return m_classValue; }
    // An information box titled with the window's caption.
    void showInformation(const QString &text);
    // The preview window, created on first use.
    FrmPreview &preview();
    // The page preview, when it is open.
    FrmWebPreview *webPreview() const;
    PageWaiter &pageWaiter() const { return *m_waiter; }
    // Pages opened one by one keep to the stored limits from now on (a batch
    // run reads them itself).
    void useLoadSettings(const LoadSettings &settings);
    RecordOptions recordOptions() const override;
    // The record choice of Option6, Option7 and Option8.
    RecordSource recordSource() const;
    // Selects the choice's option, and the source columns and 逐行记录's
    // settings as that choice has them by default.
    void showRecordChoice(RecordSource source);

    // How the program ends when the user exits; tests replace it.
    void setQuitFunction(std::function<void()> quit) { m_quit = std::move(quit); }

    bool IsStopped = false;
    QString WorkflowText;

    // The page's cells, the page's records and the page list of a batch run.
    Grid MSFlexGrid1;
    Grid MSFlexGrid2;
    QStringList List1;

    QToolBar *ActiveBar21;
    QWidget *Picture1;
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6;
    QComboBox *Text1;
    QPushButton *command1;
    QLabel *Label1, *Label5;
    QLineEdit *Text4, *Text3;
    RowTextEdit *Text2;
    QPushButton *command3, *command5;
    QProgressBar *ProgressBar1;
    QComboBox *Combo1;
    QLineEdit *Text6;
    QRadioButton *Option4, *Option5, *Option6, *Option7, *Option8, *Option9;
    QLabel *Label6, *Label7;
    QComboBox *Combo2; // header rows of 逐行记录
    QLineEdit *Text7;  // columns kept by 逐行记录
    QLabel *Label2, *Label3;
    QLineEdit *TxtFrom, *TxtTo;
    QCheckBox *Check1, *Check2, *Check3, *Check4;
    QPushButton *command6, *command7;
    QLabel *Label4;
    QProgressBar *ProgressBar2;
    QWidget *Picture2;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QList<QWidget *> workflowControls() const;
    QList<QWidget *> panels() const;
    void createControls();
    void layoutControls();
    void connectControls();
    void onToolbar(const QString &caption);
    template <typename Window>
    Window *showTool();
    void showWebPreview();
    bool panelEvent(QWidget *panel, QEvent *event);
    void Text1_Click();
    bool runBatch(BatchSettings::Mode mode);
    bool applyDefinition(RecordSource source);
    bool connectedOrTold();
    std::shared_ptr<const Document> currentDocument() const;

    Browser &m_browser;
    PageWaiter *m_waiter;
    bool m_opening = false;
    QString m_classValue;
    FrmPreview *m_preview = nullptr;
    QPointer<FrmWebPreview> m_webPreview;
    std::function<void()> m_quit;
};

// The operating-procedure text shown on a right click: a heading and nine
// steps, separated by CR LF, without a line break at the end.
QString workflowText();

} // namespace pagrion
