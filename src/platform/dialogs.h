#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace pagrion {

// The modal boxes the windows show. The real implementation opens Qt dialogs;
// tests install a fake that records each call and returns scripted answers.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A message box with the information icon and an OK button.
    virtual void information(const QString &title, const QString &text) = 0;
    // Which button Enter presses in a question.
    enum class DefaultButton { Ok, Cancel };

    // An OK/Cancel question without an icon; true on OK. A question whose
    // OK destroys data makes Cancel the default, so Enter does no harm.
    virtual bool question(const QString &title, const QString &text,
                          DefaultButton defaultButton = DefaultButton::Ok) = 0;
    // An input box; nullopt when cancelled, an empty string when confirmed empty.
    virtual std::optional<QString> input(const QString &title, const QString &prompt,
                                         const QString &initialText = {}) = 0;
    // A save-file dialog. The filter is written "Caption|*.ext|Caption|*.ext";
    // returns the chosen path, or an empty string when cancelled.
    virtual QString saveFile(const QString &title, const QString &folder, const QString &filter) = 0;
    // An open-file dialog for an existing file, with a filter written the
    // same way; the chosen path, or an empty string when cancelled.
    virtual QString openFile(const QString &title, const QString &folder, const QString &filter) = 0;
    // A box that offers items to choose one of, the first preselected;
    // nullopt when cancelled.
    virtual std::optional<QString> choose(const QString &title, const QString &prompt, const QStringList &items) = 0;
};

} // namespace pagrion
