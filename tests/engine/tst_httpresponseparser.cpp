#include <QTest>

#include "engine/httpresponseparser.h"

using namespace Qt::StringLiterals;
using namespace pagrion;

class TestHttpResponseParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each answer is read whole and again one byte at a time, as a slow
    // connection would hand it over.
    void answers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("needsClose"); // the body ends only with the connection
        QTest::addColumn<bool>("keepsConnection");

        QTest::newRow("length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello") << 200
                                << QByteArray("hello") << false << true;
        QTest::newRow("bare line feeds") << QByteArray("HTTP/1.1 404 Not Found\nContent-Length: 2\n\nno") << 404
                                         << QByteArray("no") << false << true;
        QTest::newRow("interim answers first")
            << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n"
                          "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx")
            << 200 << QByteArray("x") << false << true;
        QTest::newRow("chunks with extension and trailer")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;name=v\r\nabc\r\nA\r\n0123456789\r\n"
                          "0\r\nExpires: never\r\n\r\n")
            << 200 << QByteArray("abc0123456789") << false << true;
        QTest::newRow("chunked wins over length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n")
            << 200 << QByteArray("ok") << false << true;
        QTest::newRow("HTTP/1.0 until the end") << QByteArray("HTTP/1.0 200 OK\r\n\r\nall the rest") << 200
                                                << QByteArray("all the rest") << true << false;
        QTest::newRow("no content whatever it says")
            << QByteArray("HTTP/1.1 204 No Content\r\nContent-Length: 10\r\n\r\n") << 204 << QByteArray() << false
            << true;
        QTest::newRow("connection closed by the server")
            << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok") << 200
            << QByteArray("ok") << false << false;
    }
    void answers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, needsClose);
        QFETCH(bool, keepsConnection);
        for (const bool byteByByte : {false, true}) {
            HttpResponseParser parser;
            QByteArray read;
            if (byteByByte) {
                for (const char byte : bytes)
                    QVERIFY(parser.feed(QByteArrayView(&byte, 1), read));
            } else {
                QVERIFY(parser.feed(bytes, read));
            }
            QCOMPARE(parser.complete(), !needsClose);
            QVERIFY(parser.finishAtClose());
            QCOMPARE(parser.status(), status);
            QCOMPARE(read, body);
            QCOMPARE(parser.keepsConnection(), keepsConnection);
        }
    }

    void foldedHeaderLinesJoin()
    {
        HttpResponseParser parser;
        QByteArray body;
        QVERIFY(parser.feed("HTTP/1.1 302 Found\r\nLocation: /a\r\nX-Note: one\r\n  two\r\nContent-Length: 0\r\n\r\n", body));
        QCOMPARE(parser.header("x-note"), QByteArray("one two"));
        QCOMPARE(parser.header("LOCATION"), QByteArray("/a"));
        QCOMPARE(parser.reasonPhrase(), QByteArray("Found"));
    }

    void brokenAnswers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not HTTP") << QByteArray("<html><body>hello</body></html>\r\n\r\n");
        QTest::newRow("two lengths") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n");
        QTest::newRow("chunk size not a number")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n");
        QTest::newRow("chunk longer than it said")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n");
        QTest::newRow("head without end") << QByteArray("HTTP/1.1 200 OK\r\n")
                                                 + QByteArray("X-Filler: aaaaaaaaaa\r\n").repeated(20'000);
    }
    void brokenAnswers()
    {
        QFETCH(QByteArray, bytes);
        HttpResponseParser parser;
        QByteArray body;
        QVERIFY(!parser.feed(bytes, body));
        QVERIFY(!parser.error().isEmpty());
        QVERIFY(!parser.finishAtClose());
    }
};

QTEST_GUILESS_MAIN(TestHttpResponseParser)
#include "tst_httpresponseparser.moc"
