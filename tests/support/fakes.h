#pragma once

#include <deque>
#include <memory>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "engine/browser.h"
#include "platform/connectioncheck.h"
#include "platform/current.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

namespace pagrion::test {

// Records every box the program shows and answers from a script. Unscripted
// questions answer Cancel and unscripted inputs are cancelled, so a test that
// forgets a script never confirms something by accident.
class FakeDialogs final : public Dialogs
{
public:
    struct Call
    {
        QString kind; // "information", "question", "input", "saveFile", "openFile" or "choose"
        QString title;
        // The message or prompt; for saveFile and openFile the folder and the
        // filter, for choose the prompt and the items, joined by '\n'.
        QString text;
        DefaultButton defaultButton = DefaultButton::Ok; // of a question
    };

    void information(const QString &title, const QString &text) override;
    bool question(const QString &title, const QString &text, DefaultButton defaultButton = DefaultButton::Ok) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &initialText) override;
    QString saveFile(const QString &title, const QString &folder, const QString &filter) override;
    QString openFile(const QString &title, const QString &folder, const QString &filter) override;
    std::optional<QString> choose(const QString &title, const QString &prompt, const QStringList &items) override;

    QList<Call> calls;
    std::deque<bool> questionAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<QString> saveFileAnswers;
    std::deque<QString> openFileAnswers;
    std::deque<std::optional<QString>> chooseAnswers;

    // The texts of all information boxes, in order.
    QStringList informationTexts() const;

private:
    ScopedCurrent<Dialogs> m_installed{this};
};

class FakeShell final : public Shell
{
public:
    void open(const QString &fileOrAddress) override { opened << fileOrAddress; }
    QStringList opened;

private:
    ScopedCurrent<Shell> m_installed{this};
};

class FakeConnectionCheck final : public ConnectionCheck
{
public:
    explicit FakeConnectionCheck(bool connected = true) : connected(connected) {}
    bool IsConnected() override
    {
        ++calls;
        return connected;
    }
    bool connected;
    int calls = 0;

private:
    ScopedCurrent<ConnectionCheck> m_installed{this};
};

// A browser whose loads the test finishes by hand; it records every address
// it was sent to.
class FakeBrowser final : public Browser
{
    Q_OBJECT

public:
    using Browser::Browser;

    EngineKind engine() const override { return EngineKind::Static; }
    void Navigate(const QString &address) override;
    bool Busy() const override { return m_busy; }
    std::shared_ptr<const Document> document() const override { return m_document; }

    // Ends the pending load with this document: Busy turns false, then
    // DownloadComplete is emitted.
    void finishLoad(std::shared_ptr<const Document> document = {});
    void setBusy(bool busy);
    // Emits DownloadComplete without changing Busy.
    void emitDownloadComplete() { Q_EMIT DownloadComplete(); }

    QStringList navigated;

private:
    bool m_busy = false;
    std::shared_ptr<const Document> m_document;
};

} // namespace pagrion::test
