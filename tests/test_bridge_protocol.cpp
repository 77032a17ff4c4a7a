// The Wine bridge's line protocol: any text passes through a line unchanged.
#include "bridge_protocol.h"

#include <QTest>

using namespace BridgeProtocol;

class TestBridgeProtocol : public QObject
{
    Q_OBJECT

private slots:
    void textsPassUnchanged()
    {
        const std::string texts[] = {"",
                                     "ação",
                                     "a\r\nb",
                                     "\r",
                                     "\n\n",
                                     "c:\\pasta\\n",
                                     std::string("n\0l", 3),
                                     "\\\\r",
                                     std::string(100000, 'x') + "\xe2\x82\xac"};
        for (const std::string &text : texts) {
            const std::string line = escape(text);
            QVERIFY(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
            QCOMPARE(line.find('\0'), std::string::npos);
            QCOMPARE(unescape(line), std::optional<std::string>(text));
        }
        for (const char *broken : {"fim\\", "\\x", "a\nb"})
            QVERIFY2(!unescape(broken), broken);
    }

    void errorsCarryNumberKindAndDescription()
    {
        const std::string line = errorLine(440, Failure::Gone, "falhou:\r\n de vez");
        QCOMPARE(split(line).word, std::string_view("error"));
        const auto error = parseError(split(line).rest);
        QVERIFY(error);
        QCOMPARE(error->number, 440);
        QVERIFY(error->kind == Failure::Gone);
        QCOMPARE(error->description, std::string("falhou:\r\n de vez"));
        for (const char *broken : {"", "x busy a", "440 tired a", "440 busy a\\"})
            QVERIFY2(!parseError(broken), broken);
    }
};

QTEST_GUILESS_MAIN(TestBridgeProtocol)
#include "test_bridge_protocol.moc"
