#include "support/fakes.h"

using namespace Qt::StringLiterals;

namespace pagrion::test {

namespace {

// The next scripted answer; nullopt, as for a cancelled box, when none is left.
template <typename Answer>
std::optional<Answer> nextAnswer(std::deque<Answer> &answers)
{
    if (answers.empty())
        return std::nullopt;
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

void FakeDialogs::information(const QString &title, const QString &text)
{
    calls.append({u"information"_s, title, text});
}

bool FakeDialogs::question(const QString &title, const QString &text, DefaultButton defaultButton)
{
    calls.append({u"question"_s, title, text, defaultButton});
    return nextAnswer(questionAnswers).value_or(false);
}

std::optional<QString> FakeDialogs::input(const QString &title, const QString &prompt, const QString &)
{
    calls.append({u"input"_s, title, prompt});
    return nextAnswer(inputAnswers).value_or(std::nullopt);
}

QString FakeDialogs::saveFile(const QString &title, const QString &folder, const QString &filter)
{
    calls.append({u"saveFile"_s, title, folder + u'\n' + filter});
    return nextAnswer(saveFileAnswers).value_or(QString());
}

QString FakeDialogs::openFile(const QString &title, const QString &folder, const QString &filter)
{
    calls.append({u"openFile"_s, title, folder + u'\n' + filter});
    return nextAnswer(openFileAnswers).value_or(QString());
}

std::optional<QString> FakeDialogs::choose(const QString &title, const QString &prompt, const QStringList &items)
{
    calls.append({u"choose"_s, title, (QStringList{prompt} + items).join(u'\n')});
    return nextAnswer(chooseAnswers).value_or(std::nullopt);
}

QStringList FakeDialogs::informationTexts() const
{
    QStringList texts;
    for (const Call &call : calls) {
        if (call.kind == u"information")
            texts << call.text;
    }
    return texts;
}

void FakeBrowser::Navigate(const QString &address)
{
    navigated << address;
    setBusy(true);
}

void FakeBrowser::finishLoad(std::shared_ptr<const Document> document)
{
    if (document)
        m_document = std::move(document);
    setBusy(false);
    Q_EMIT DownloadComplete();
}

void FakeBrowser::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT BusyChanged(busy);
}

} // namespace pagrion::test
