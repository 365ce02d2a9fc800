#pragma once

#include <QPlainTextEdit>

namespace pagrion {

// A multi-line box for row text. Qt's editor keeps line breaks as LF only,
// but row text carries CR LF after every row marker and lone LFs inside
// cells; the box hands back exactly what it was given until the user edits
// it, and then the user's line breaks as CR LF.
class RowTextEdit final : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowTextEdit)

public:
    using QPlainTextEdit::QPlainTextEdit;

    void setText(const QString &text);
    QString text() const;
    void clear() { setText({}); }

private:
    QString m_text;
};

} // namespace pagrion
