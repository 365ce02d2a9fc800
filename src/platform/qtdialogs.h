#pragma once

#include "platform/dialogs.h"

namespace pagrion {

// Dialogs shown with Qt's standard boxes, owned by the active window.
class QtDialogs final : public Dialogs
{
public:
    void information(const QString &title, const QString &text) override;
    bool question(const QString &title, const QString &text, DefaultButton defaultButton = DefaultButton::Ok) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &initialText) override;
    QString saveFile(const QString &title, const QString &folder, const QString &filter) override;
    QString openFile(const QString &title, const QString &folder, const QString &filter) override;
    std::optional<QString> choose(const QString &title, const QString &prompt, const QStringList &items) override;
};

// Turns "Caption|*.a|Caption (*.b)|*.b;*.c" into Qt's name filters, each the
// text shown followed by its patterns: "Caption (*.a) (*.a);;Caption (*.b)
// (*.b *.c)", for a dialog that hides the filters' details.
QString qtFileFilter(const QString &filter);

// The extension of a Qt name filter's first pattern: "xls" for
// "Excel (*.xls)"; empty when the pattern names none ("*" or "data*").
QString nameFilterSuffix(const QString &nameFilter);

} // namespace pagrion
