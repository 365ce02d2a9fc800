#include "batch/nextpagelink.h"

#include <algorithm>

#include <QUrl>

#include "engine/pageaddress.h"

namespace pagrion {

QRegularExpression nextPagePattern(const QString &text)
{
    return QRegularExpression(text, QRegularExpression::CaseInsensitiveOption);
}

std::optional<QString> findNextPageLink(const QStringList &texts, const QStringList &addresses,
                                        const QRegularExpression &pattern)
{
    const QRegularExpression whole(QRegularExpression::anchoredPattern(pattern.pattern()), pattern.patternOptions());
    std::optional<QString> containing;
    const qsizetype links = std::min(texts.size(), addresses.size());
    for (qsizetype i = 0; i < links; ++i) {
        const QString text = texts.at(i).trimmed();
        if (text.isEmpty() || !isWebAddress(QUrl(addresses.at(i))))
            continue;
        if (whole.match(text).hasMatch())
            return addresses.at(i);
        if (!containing && pattern.match(text).hasMatch())
            containing = addresses.at(i);
    }
    return containing;
}

QString pageKey(const QString &address)
{
    return QUrl::fromUserInput(address).adjusted(QUrl::RemoveFragment).toString();
}

} // namespace pagrion
