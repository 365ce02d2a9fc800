#include "engine/enginelog.h"

using namespace Qt::StringLiterals;

namespace pagrion {

Q_LOGGING_CATEGORY(lcEngine, "pagrion.engine", QtWarningMsg)

QString retryLogText(const QUrl &url, int attempt, const QString &reason, qint64 waitMs)
{
    return u"%1 第 %2 次尝试失败：%3，%4 ms 后重试"_s.arg(url.toDisplayString(), QString::number(attempt), reason,
                                                      QString::number(waitMs));
}

} // namespace pagrion
