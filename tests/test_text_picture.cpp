// The text and its picture, driven through long random sequences of edits at
// random places: after each, the text equals a plain string edited the same
// way, the picture equals a document that took every edit as it was told,
// and the picture maps back to the text.
#include "forms/text_picture.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const QChar Break = TextPicture::Break;

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0
           || c.unicode() == 0xFDD1;
}

} // namespace

class TestTextPicture : public QObject
{
    Q_OBJECT

    QRandomGenerator m_random;

    qsizetype below(qsizetype bound) { return bound <= 0 ? 0 : qsizetype(m_random.bounded(quint64(bound))); }

    // A piece of text as it may arrive or be pasted: line breaks of every
    // kind, letters with accents, surrogate pairs, flags, long lines.
    QString piece()
    {
        static const QStringList pieces = {
            QStringLiteral("\r"),       QStringLiteral("\n"),      QStringLiteral("\r\n"),
            QStringLiteral("\u2029"),   QStringLiteral("\uFDD0"),  QStringLiteral("abc"),
            QStringLiteral("olá, "),    QStringLiteral("e\u0301"), QStringLiteral("\U0001F1E7\U0001F1F7"),
            QStringLiteral("👍🏽"), QStringLiteral(" "),       QStringLiteral("PY9AAA: câmbio\r\n"),
        };
        switch (below(8)) {
        case 0: { // a long line, with or without spaces
            const bool words = below(2) == 0;
            QString line;
            const qsizetype length = 900 + below(2500);
            while (line.size() < length)
                line += words && below(6) == 0 ? QStringLiteral(" ") : pieces.at(5 + below(5));
            return line;
        }
        case 1:
            return QString();
        default:
            return pieces.at(below(pieces.size()));
        }
    }

    // What a user may type into the document: letters, and paragraph breaks.
    QString typed()
    {
        QString text;
        for (qsizetype n = below(4); n > 0; --n)
            text += below(3) == 0 ? Break : QChar(char16_t(u'a' + below(26)));
        return text;
    }

    static void verifyInStep(const TextPicture &picture, const QString &expected, const QString &document)
    {
        QCOMPARE(picture.text(), expected);
        QCOMPARE(picture.picture(0, picture.pictureLength()), document);
        // The picture holds the text's characters, its breaks standing for the line breaks.
        QString characters = expected;
        characters.removeIf(isLineBreak);
        QCOMPARE(QString(document).remove(Break), characters);
    }

    // Every text position maps to the picture and back (one inside a CR LF to the CR).
    void verifyMapping(const TextPicture &picture, const QString &text)
    {
        for (int sample = 0; sample < 40; ++sample) {
            const qsizetype position = below(text.size() + 1);
            const qsizetype back = picture.textPosition(picture.picturePosition(position));
            const bool insideCrLf = position > 0 && position < text.size() && text.at(position - 1) == QLatin1Char('\r')
                                    && text.at(position) == QLatin1Char('\n');
            QVERIFY2(back == position || (insideCrLf && back == position - 1),
                     qPrintable(QStringLiteral("text position %1 came back as %2").arg(position).arg(back)));
        }
    }

private slots:
    void randomEditsKeepTextAndPictureInStep()
    {
        const quint32 seed = 20261208;
        qInfo("seed %u", seed);
        m_random.seed(seed);
        TextPicture picture;
        QString text;
        QString document; // what a document that took every edit as told would hold
        const auto apply = [&](const TextPicture::Edit &edit) {
            document.replace(edit.from, edit.to - edit.from, edit.picture);
        };
        for (int step = 0; step < 3000; ++step) {
            if (text.size() > 30000) {
                apply(picture.replace(0, text.size(), QString()));
                text.clear();
            }
            const qsizetype from = below(text.size() + 1);
            const qsizetype to = from + below(std::min<qsizetype>(text.size() - from, 200) + 1);
            switch (below(5)) {
            case 0: { // an arrival at the end
                const QString arrival = piece() + QStringLiteral("\r\n");
                apply(picture.replace(text.size(), text.size(), arrival));
                text += arrival;
                break;
            }
            case 1: { // an insertion
                const QString inserted = piece();
                apply(picture.replace(from, from, inserted));
                text.insert(from, inserted);
                break;
            }
            case 2: // a removal
                apply(picture.replace(from, to, QString()));
                text.remove(from, to - from);
                break;
            case 3: { // a replacement
                const QString replacement = piece();
                apply(picture.replace(from, to, replacement));
                text.replace(from, to - from, replacement);
                break;
            }
            default: { // typed into the document, then laid out again as asked
                const qsizetype at = below(document.size() + 1);
                const qsizetype removed = below(std::min<qsizetype>(document.size() - at, 3) + 1);
                const QString keys = typed();
                const qsizetype textFrom = picture.textPosition(at);
                const qsizetype textTo = picture.textPosition(at + removed);
                document.replace(at, removed, keys);
                const auto again = picture.pictureEdited(at, removed, keys);
                text.replace(textFrom, textTo - textFrom, QString(keys).replace(Break, QStringLiteral("\r\n")));
                verifyInStep(picture, text, document);
                for (const auto &[start, end] : again)
                    apply(picture.replace(start, end, text.mid(start, end - start)));
                break;
            }
            }
            verifyInStep(picture, text, document);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("at step %1").arg(step)));
            verifyMapping(picture, text);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("at step %1").arg(step)));
        }
        // After an edit has been laid out, no paragraph is longer than the limit.
        for (const QString &paragraph : document.split(Break))
            QVERIFY(paragraph.size() <= TextPicture::MaxParagraphLength);
    }
};

QTEST_GUILESS_MAIN(TestTextPicture)
#include "test_text_picture.moc"
