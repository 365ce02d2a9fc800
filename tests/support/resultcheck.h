#pragma once

#include <QString>
#include <QTest>

#include "core/result.h"

namespace pagrion::test {

// A result's error for a test message; empty when it succeeded (error() may
// only be read from a failed result).
template <typename T>
QString errorOf(const Result<T> &result)
{
    return result ? QString() : result.error();
}

} // namespace pagrion::test

// Fails the test with the result's own error when it did not succeed.
// The expression is evaluated once, so it may be a statement with effects.
#define PAGRION_VERIFY_OK(result)                                                                  \
    do {                                                                                           \
        const auto &pagrionChecked_ = (result);                                                    \
        QVERIFY2(pagrionChecked_.ok(), qPrintable(::pagrion::test::errorOf(pagrionChecked_)));     \
    } while (false)
