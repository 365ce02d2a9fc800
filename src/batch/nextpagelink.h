#pragma once

#include <optional>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace pagrion {

// The link-text pattern of a next-page run as it is matched: without regard
// to case.
QRegularExpression nextPagePattern(const QString &text);

// The address a page's "next page" link leads to, given the text and the
// absolute address of each of its a elements in document order. Only links
// to web addresses whose text, trimmed, is not empty count: the first whose
// whole text matches the pattern, else the first whose text contains a
// match; nullopt when there is none.
std::optional<QString> findNextPageLink(const QStringList &texts, const QStringList &addresses,
                                        const QRegularExpression &pattern);

// Addresses of one page give one key: a fragment does not change the page.
QString pageKey(const QString &address);

} // namespace pagrion
