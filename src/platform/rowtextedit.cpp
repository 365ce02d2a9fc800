#include "platform/rowtextedit.h"

#include <QTextDocument>

namespace pagrion {

void RowTextEdit::setText(const QString &text)
{
    m_text = text;
    setPlainText(text);
    document()->setModified(false);
}

QString RowTextEdit::text() const
{
    if (!document()->isModified())
        return m_text;
    return toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace pagrion
