// The main window's workflow: class choice, analysis, extraction, preview,
// and the class list and site settings behind them.
#include "app/frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/frmwebpreview.h"
#include "batch/pagerecords.h"
#include "engine/browser.h"
#include "extract/classlist.h"
#include "extract/elementmode.h"
#include "extract/tablemode.h"
#include "extract/writers.h"
#include "frame/skinnedframe.h"
#include "layout/columnfitting.h"
#include "layout/definitionreader.h"
#include "layout/frmpreview.h"
#include "platform/gridview.h"
#include "platform/progressbinding.h"
#include "platform/rowtextedit.h"
#include "store/getvarvalue.h"
#include "store/namedsetting.h"
#include "store/resultstore.h"
#include "store/sitesettings.h"

using namespace Qt::StringLiterals;

namespace pagrion {

std::shared_ptr<const Document> FrmMain::currentDocument() const
{
    return m_browser.document();
}

FrmPreview &FrmMain::preview()
{
    if (!m_preview)
        m_preview = new FrmPreview(this);
    return *m_preview;
}

RecordOptions FrmMain::recordOptions() const
{
    return {.Option6 = Option6, .Option7 = Option7, .Check2 = Check2, .Check3 = Check3};
}

RecordSource FrmMain::recordSource() const
{
    if (Option8->isChecked())
        return RecordSource::EveryRow;
    return Option6->isChecked() ? RecordSource::Layout : RecordSource::Fields;
}

void FrmMain::showRecordChoice(RecordSource source)
{
    switch (source) {
    case RecordSource::Layout:
        Option6->setChecked(true);
        break;
    case RecordSource::Fields:
        Option7->setChecked(true);
        break;
    case RecordSource::EveryRow:
        Option8->setChecked(true);
        break;
    }
    Check4->setChecked(addsSourceColumns(source, std::nullopt));
    for (QWidget *everyRow : std::initializer_list<QWidget *>{Label6, Combo2, Label7, Text7})
        everyRow->setEnabled(source == RecordSource::EveryRow);
}

void FrmMain::Combo1_Click()
{
    if (Text1->currentText().isEmpty() || Combo1->currentText().isEmpty())
        return;
    Text2->clear();
    Label4->setText(u"系统正在分析... ..."_s);
    QCoreApplication::processEvents();
    if (!connectedOrTold())
        return;
    m_classValue = GetClassName(Combo1->currentText()).toLower();
    if (m_webPreview)
        m_webPreview->setClassValue(m_classValue);
    if (m_classValue == TableClass) {
        Text4->clear();
        GetTableMode();
    } else {
        Text4->setText(u"TableName1"_s);
        GetClass(m_classValue);
    }
    Label4->setText(u"系统分析完毕"_s);
}

void FrmMain::command3_Click()
{
    if (!connectedOrTold())
        return;
    SaveSearch();
    Text2->clear();
    if (Text4->text().isEmpty())
        return;
    if (m_classValue != TableClass)
        GetClass(m_classValue);
    else
        GetTable();
}

void FrmMain::command5_Click()
{
    if (Text2->text().isEmpty())
        return;
    if (!connectedOrTold())
        return;
    GridView *grid = preview().MSFlexGrid1;
    grid->grid().setCols(2);
    grid->grid().setCols(1);
    grid->grid().setRows(1);
    grid->grid().setRows(2);
    if (Check1->isChecked())
        ZHWriteTabel();
    else
        WriteTabel();
    fitColumns(*grid, preview());
    WriteHead();
    // The fitting measured the captions of the last preview; the new ones
    // must not be cut short either.
    widenToCaptions(*grid, preview());
}

void FrmMain::GetTableMode()
{
    if (!connectedOrTold())
        return;
    Text2->clear();
    const auto document = currentDocument();
    if (!document)
        return;
    ProgressBarProgress progress(ProgressBar1);
    try {
        Text2->setText(tableAnalysisText(*document, &progress));
    } catch (const DocumentError &) {
        // A page the engine cannot read is analysed as far as it could be:
        // here, not at all. The user sees the empty box.
    }
}

void FrmMain::GetTable()
{
    if (!connectedOrTold())
        return;
    SaveSearch();
    Text2->clear();
    if (Text4->text().isEmpty())
        return;
    const auto document = currentDocument();
    if (!document)
        return;
    try {
        Text2->setText(tableExtractionText(*document, Text4->text(), Text3->text()));
    } catch (const DocumentError &error) {
        showInformation(QString::fromUtf8(error.what()));
    }
}

void FrmMain::GetClass(const QString &tagName)
{
    const auto document = currentDocument();
    if (!document)
        return;
    ProgressBarProgress progress(ProgressBar1);
    try {
        const QString rows = elementListText(*document, tagName, Text3->text(), &progress);
        if (!rows.isEmpty())
            Text2->setText(Text2->text() + rows);
    } catch (const DocumentError &error) {
        showInformation(QString::fromUtf8(error.what()));
    }
}

void FrmMain::WriteTabel()
{
    GridView *grid = preview().MSFlexGrid1;
    writeRowText(grid->grid(), Text2->text(), EmptyPiece::KeepRow);
    grid->gridChanged();
    showToolWindow(&preview());
}

void FrmMain::ZHWriteTabel()
{
    GridView *grid = preview().MSFlexGrid1;
    grid->grid().setCols(1);
    grid->grid().setCols(2);
    grid->grid().setRows(1);
    grid->grid().setRows(2);
    const bool wroteRows = writeRowTextTransposed(grid->grid(), Text2->text());
    grid->gridChanged();
    if (wroteRows)
        showToolWindow(&preview());
}

void FrmMain::GridWriteTabel()
{
    writeRowText(MSFlexGrid1, Text2->text(), EmptyPiece::NoRow);
}

void FrmMain::GridZHWriteTabel()
{
    writeRowTextTransposed(MSFlexGrid1, Text2->text());
}

void FrmMain::WriteHead()
{
    GridView *grid = preview().MSFlexGrid1;
    writeColumnHeads(grid->grid());
    grid->gridChanged();
}

void FrmMain::SaveToGrid()
{
    if (Check1->isChecked())
        GridZHWriteTabel();
    else
        GridWriteTabel();
}

bool FrmMain::GetDataInfor()
{
    return applyDefinition(RecordSource::Layout);
}

bool FrmMain::GetDataInforForFiled()
{
    return applyDefinition(RecordSource::Fields);
}

bool FrmMain::applyDefinition(RecordSource source)
{
    DefinitionReader definitions;
    RecordDefinition definition;
    definition.source = source;
    PageRecords records(definition, definitions, [this] { return headLength(); });
    const Status applied = records.applyDefinition(MSFlexGrid1, MSFlexGrid2);
    if (!applied) {
        showInformation(applied.error());
        return false;
    }
    return true;
}

Result<int> FrmMain::headLength() const
{
    // GetVarValue ends the program itself when the setting is missing.
    return headLengthFrom(GetVarValue(headLengthSetting()));
}

void FrmMain::SaveData()
{
    if (const auto stored = appendRecords(MSFlexGrid2, {Check3->isChecked()}); !stored)
        showInformation(stored.error());
}

void FrmMain::DelData()
{
    if (!Check2->isChecked())
        return;
    if (const Status cleared = clearRecords(); !cleared)
        showInformation(cleared.error());
}

void FrmMain::LoadClassName()
{
    const auto texts = loadClassTexts();
    if (!texts) {
        showInformation(texts.error());
        return;
    }
    Combo1->addItems(texts.value());
}

QString FrmMain::GetClassName(const QString &str)
{
    const auto value = classValueOf(str);
    if (!value) {
        showInformation(value.error());
        return {};
    }
    return value.value();
}

void FrmMain::SaveSearch()
{
    const EveryRowOptions everyRow{
        headerRowsFromText(Combo2->currentText()).value_or(EveryRowOptions::AutoHeaderRows), Text7->text()};
    const SiteSettings settings{Text1->currentText(), Text4->text(), Text3->text(), Check1->isChecked(),
                                Combo1->currentText(), recordSource(), everyRow, Check4->isChecked()};
    if (wouldLoseTableNames(settings)) {
        Label4->setText(u"表名称为空，未保存"_s);
        return;
    }
    const Status saved = saveSiteSettings(settings);
    if (!saved)
        showInformation(saved.error());
}

void FrmMain::ReadSearch()
{
    const auto stored = readSiteSettings(Text1->currentText());
    if (!stored) {
        showInformation(stored.error());
        return;
    }
    const SiteSettings settings = stored.value().value_or(SiteSettings{});
    Text4->setText(settings.tableName);
    Text3->setText(settings.tableRow);
    Check1->setChecked(settings.rowchange);
    Combo1->setCurrentIndex(Combo1->findText(settings.classname));
    // A site saved before the record choice keeps the window's own.
    if (settings.records)
        showRecordChoice(*settings.records);
    Combo2->setCurrentIndex(std::max(0, Combo2->findText(headerRowsText(settings.everyRow.headerRows))));
    Text7->setText(settings.everyRow.columns);
    if (settings.sourceColumns)
        Check4->setChecked(*settings.sourceColumns);
}

void FrmMain::ReadAllSearch()
{
    const auto addresses = readSiteAddresses();
    if (!addresses) {
        showInformation(addresses.error());
        return;
    }
    Text1->addItems(addresses.value());
    if (Text1->count() > 0) {
        Text1->setCurrentIndex(0);
        Text1_Click();
    } else {
        Text1->setCurrentIndex(-1);
    }
}

void FrmMain::addSiteAddress(const QString &web)
{
    // The typed address stays in the box: inserting an item above it must not change it.
    const QString typed = Text1->currentText();
    if (Text1->findText(web) < 0)
        Text1->insertItem(0, web);
    Text1->setEditText(typed);
}

} // namespace pagrion
