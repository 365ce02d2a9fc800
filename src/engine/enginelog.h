#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QUrl>

namespace pagrion {

// What the engines make of a page: the full browser's loads, the static engine's parsing.
Q_DECLARE_LOGGING_CATEGORY(lcEngine)

// The line both engines log for a load tried again: "<address> 第 1 次尝试失败：超时，1000 ms 后重试".
QString retryLogText(const QUrl &url, int attempt, const QString &reason, qint64 waitMs);

} // namespace pagrion
