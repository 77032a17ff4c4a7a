// The transcript's bytes: Windows-1252 where the text fits it, UTF-8 with a
// byte-order mark where it does not.
#include "transcript/transcript_file.h"

#include <QTest>

class TestTranscriptCodec : public QObject
{
    Q_OBJECT

private slots:
    void codecMatchesTheCodePage()
    {
        // Every byte decodes to one character and encodes back to itself.
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = TranscriptFile::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x9F), QChar(0x0178));
        QCOMPARE(text.at(0xE7), QChar(0x00E7));
        QCOMPARE(TranscriptFile::encode(text), all);
    }

    void textsThatLookLikeTheUtf8MarkRoundTrip()
    {
        // In Windows-1252 "ï»¿" is the UTF-8 mark's bytes: written so, it would
        // read back as UTF-8 and lose its first characters.
        for (const QString &text : {QStringLiteral("ï»¿"), QStringLiteral("ï»¿ação"), QStringLiteral("ï»¿€")}) {
            const QByteArray bytes = TranscriptFile::encode(text);
            QCOMPARE(TranscriptFile::decode(bytes), text);
        }
        QCOMPARE(TranscriptFile::encode(QStringLiteral("ï»")), QByteArray("\xEF\xBB")); // not the mark: Windows-1252

        // The same for the UTF-16 marks ("ÿþ", "þÿ") and for Windows-1252 bytes
        // that happen to be valid UTF-8 ("Ã§" would read back as "ç").
        for (const QString &text : {QStringLiteral("ÿþo"), QStringLiteral("þÿo"), QStringLiteral("aÃ§b")})
            QCOMPARE(TranscriptFile::decode(TranscriptFile::encode(text)), text);
        // A file in UTF-8 without a mark, as Linux editors write it.
        QCOMPARE(TranscriptFile::decode(QByteArray("a\xC3\xA7\xC3\xA3o")), QStringLiteral("ação"));
        QCOMPARE(TranscriptFile::decode(QByteArray("a\xE7\xE3o")), QStringLiteral("ação"));
    }
};

QTEST_GUILESS_MAIN(TestTranscriptCodec)
#include "test_transcript_codec.moc"
