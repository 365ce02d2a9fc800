#include "support/fakes.h"

using namespace Qt::StringLiterals;

namespace pagrion::test {

void FakeDialogs::information(const QString &title, const QString &text)
{
    calls.append({u"information"_s, title, text});
}

bool FakeDialogs::question(const QString &title, const QString &text, DefaultButton defaultButton)
{
    calls.append({u"question"_s, title, text, defaultButton});
    if (questionAnswers.empty())
        return false;
    const bool answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}

std::optional<QString> FakeDialogs::input(const QString &title, const QString &prompt, const QString &)
{
    calls.append({u"input"_s, title, prompt});
    if (inputAnswers.empty() || !inputAnswers.front()) {
        if (!inputAnswers.empty())
            inputAnswers.pop_front();
        return std::nullopt;
    }
    const QString answer = *inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

QString FakeDialogs::saveFile(const QString &title, const QString &folder, const QString &filter)
{
    calls.append({u"saveFile"_s, title, folder + u'\n' + filter});
    if (saveFileAnswers.empty())
        return {};
    const QString answer = saveFileAnswers.front();
    saveFileAnswers.pop_front();
    return answer;
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
