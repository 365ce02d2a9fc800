#pragma once

#include <QApplication>
#include <QTest>

#include "engine/webengine/webenginesetup.h"

// QTEST_MAIN for tests of the full browser engine, which must be set up
// before the application object exists.
#define PAGRION_WEBENGINE_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        pagrion::prepareWebEngine();                                                                                   \
        QApplication app(argc, argv);                                                                                  \
        TestObject test;                                                                                               \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
