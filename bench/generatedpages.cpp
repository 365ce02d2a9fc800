#include "bench/generatedpages.h"

#include <QString>

using namespace Qt::StringLiterals;

namespace pagrion::bench {

static_assert(CellsPerRow == 6, "generatedTable writes six cells a row");

QByteArray generatedTable(int seed)
{
    QString table = u"<table class=\"list\" border=\"1\">\n"_s;
    for (int row = 0; row < RowsPerTable; ++row) {
        const int n = seed * RowsPerTable + row;
        table += row % 2 ? u"<tr class=\"odd\">"_s : u"<tr>"_s;
        table += u"<td><a href=\"/item/%1.html\">商品 %1</a></td>"_s.arg(n);
        table += u"<td align=\"right\">%1.%2 元</td>"_s.arg(n % 997).arg(n % 100, 2, 10, QChar(u'0'));
        table += u"<td>2024-%1-%2</td>"_s.arg(1 + n % 12).arg(1 + n % 28);
        table += u"<td>型号 X-%1</td>"_s.arg(n * 7919 % 100000);
        table += u"<td><span>库存</span> %1 件</td>"_s.arg(n % 61);
        table += u"<td>第 %1 行 &amp; 备注 Note</td></tr>\n"_s.arg(row + 1);
    }
    table += u"</table>\n"_s;
    return table.toUtf8();
}

QByteArray generatedPage(int firstSeed, int tables)
{
    QByteArray page = u"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>第 %1 页</title></head><body>\n"_s
                          .arg(firstSeed)
                          .toUtf8();
    for (int t = 0; t < tables; ++t) {
        page += u"<h2>列表 %1</h2>\n"_s.arg(firstSeed + t).toUtf8();
        page += generatedTable(firstSeed + t);
    }
    page += "</body></html>\n";
    return page;
}

} // namespace pagrion::bench
