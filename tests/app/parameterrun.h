#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/frmmain.h"
#include "layout/layouts.h"
#include "support/resultcheck.h"
#include "support/testhttpserver.h"

namespace pagrion::test {

// Serves /p1.html to /p<pages>.html, each a table of one cell, "第N页".
inline void serveNumberedPages(TestHttpServer &site, int pages)
{
    for (int i = 1; i <= pages; ++i)
        site.setPage(QStringLiteral("/p%1.html").arg(i),
                     QStringLiteral("<table><tr><td>第%1页</td></tr></table>").arg(i).toUtf8());
}

// Sets the window up for a parameter run over site's /p1.html to
// /p<pages>.html, one record of the table's first cell a page: the first
// page opened and analysed, the table name given, the layout stored.
inline void setUpParameterRun(FrmMain &window, const TestHttpServer &site, int pages)
{
    window.setQuitFunction([] {});
    window.Form_Load();
    PAGRION_VERIFY_OK(saveLayout({{QStringLiteral("1,0")}}));
    window.Text1->setEditText(site.url(QStringLiteral("/p1.html")));
    window.Text6->setText(site.url(QStringLiteral("/p(*).html")));
    window.TxtFrom->setText(QStringLiteral("1"));
    window.TxtTo->setText(QString::number(pages));
    window.Combo1->setCurrentIndex(0);
    window.command1_Click(); // open and analyse: the class value becomes "table"
    window.Text4->setText(QStringLiteral("TableName0"));
}

} // namespace pagrion::test
