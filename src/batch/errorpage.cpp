#include "batch/errorpage.h"

#include "engine/document.h"

using namespace Qt::StringLiterals;

namespace pagrion {

const QStringList &errorPageTexts()
{
    static const QStringList texts{
        u"HTTP 404 - 无法找到文件"_s,
        u"搜索的网页可能已经删除"_s,
        u"请检查其拼写是否正确"_s,
        u"无法找到网页"_s,
        u"单击后退按钮，尝试其他链接"_s,
    };
    return texts;
}

bool isErrorPage(const Document &document)
{
    return document.bodyTextContainsAny(errorPageTexts()).value_or(true);
}

} // namespace pagrion
