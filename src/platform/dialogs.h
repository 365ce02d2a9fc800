#pragma once

#include <optional>

#include <QString>

namespace pagrion {

// The modal boxes the windows show. The real implementation opens Qt dialogs;
// tests install a fake that records each call and returns scripted answers.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A message box with the information icon and an OK button.
    virtual void information(const QString &title, const QString &text) = 0;
    // An OK/Cancel question; true on OK.
    virtual bool question(const QString &title, const QString &text) = 0;
    // An input box; nullopt when cancelled, an empty string when confirmed empty.
    virtual std::optional<QString> input(const QString &title, const QString &prompt,
                                         const QString &initialText = {}) = 0;
    // A save-file dialog. The filter is written "Caption|*.ext|Caption|*.ext";
    // returns the chosen path, or an empty string when cancelled.
    virtual QString saveFile(const QString &title, const QString &folder, const QString &filter) = 0;
};

} // namespace pagrion
