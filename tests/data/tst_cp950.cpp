// Code page 950 bytes read into text and written back are the same bytes, whatever they
// are; text typed by a clerk is written as the converter writes it.
#include "data/Exceptions.h"
#include "data/sql/TextCodec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kordane;

namespace {

QByteArray roundTrip(const TextCodec& codec, const QByteArray& bytes)
{
    return codec.encode(codec.decode(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace

class TestCp950 : public QObject {
    Q_OBJECT
private slots:
    void everyPairAndByteComesBack();
    void duplicatesReadAsTheirCharacter();
    void sequencesComeBack();
    void typedTextAsTheConverterWritesIt();
    void onlyAQuoteWritesAQuote();
};

void TestCp950::everyPairAndByteComesBack()
{
    const TextCodec codec(QString {});
    for (int b = 0; b < 0x100; ++b) {
        const QByteArray one(1, static_cast<char>(b));
        QCOMPARE(roundTrip(codec, one).toHex(), one.toHex());
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const QByteArray pair = QByteArray(1, static_cast<char>(lead)) + static_cast<char>(trail);
            if (roundTrip(codec, pair) != pair)
                QFAIL(qPrintable(QStringLiteral("pair %1 does not come back").arg(QString::fromLatin1(pair.toHex()))));
        }
    }
}

// The ten pairs that share a character with another pair look like that character.
void TestCp950::duplicatesReadAsTheirCharacter()
{
    const TextCodec codec(QString {});
    const struct {
        const char* pair;
        const char* twin;
    } pairs[] = {{"\xA2\xA4", "\xF9\xF9"}, {"\xA2\xA5", "\xF9\xE9"}, {"\xA2\xA6", "\xF9\xEA"}, {"\xA2\xA7", "\xF9\xEB"}, {"\xA2\xCC", "\xA4\x51"}, {"\xA2\xCE", "\xA4\xCA"}, {"\xF9\xFA", "\xA2\x7E"}, {"\xF9\xFB", "\xA2\xA1"}, {"\xF9\xFC", "\xA2\xA2"}, {"\xF9\xFD", "\xA2\xA3"}};
    for (const auto& p : pairs) {
        const QString text = codec.decode(p.pair, 2);
        const QString twin = codec.decode(p.twin, 2);
        QCOMPARE(text.size(), 2);
        QCOMPARE(text.front(), twin.front());
        QCOMPARE(text.back().unicode(), char16_t(0xFE00));
        QCOMPARE(codec.encode(twin), QByteArray(p.twin));
        QCOMPARE(codec.encode(text), QByteArray(p.pair));
    }
}

void TestCp950::sequencesComeBack()
{
    const TextCodec codec(QString {});
    const QByteArray cases[] = {
        "\xA4\x51\xA2\xCC\xA4\x51", // ten, the numeral ten, ten
        QByteArray("Amy\xA4", 4), // a lone lead byte at the end
        QByteArray("\xA4\xA4\x80\xFF", 4),
        QByteArray("\xA3\x40\xC8\x40", 4), // a character, then an undefined pair
        QByteArray("\xA4\x0A", 2), // a lead byte before a line feed
    };
    for (const QByteArray& bytes : cases)
        QCOMPARE(roundTrip(codec, bytes).toHex(), bytes.toHex());
    QRandomGenerator random(950);
    for (int n = 0; n < 20000; ++n) {
        QByteArray bytes(static_cast<qsizetype>(random.bounded(1, 12)), Qt::Uninitialized);
        for (char& c : bytes)
            c = static_cast<char>(random.bounded(0x100) | (random.bounded(4) ? 0x80 : 0));
        if (roundTrip(codec, bytes) != bytes)
            QFAIL(qPrintable(QString::fromLatin1(bytes.toHex())));
    }
}

void TestCp950::typedTextAsTheConverterWritesIt()
{
    const TextCodec codec(QString {});
    QCOMPARE(codec.encode(QStringLiteral("十═")), QByteArray("\xA4\x51\xF9\xF9"));
    QCOMPARE(codec.decode("\xA4\x51", 2), QStringLiteral("十"));
    // A selector or a private character the code page has no place for is still refused.
    for (const QString& text : {QStringLiteral("a\uFE00"), QStringLiteral("x\U000F0041"), QStringLiteral("\U0001F600")}) {
        try {
            (void)codec.encode(text);
            QFAIL(qPrintable(text));
        } catch (const EDatabaseError& e) {
            QVERIFY(e.message().contains(QStringLiteral("cannot be represented")));
        }
        // A refusal leaves nothing behind for the next text.
        QCOMPARE(codec.encode(QStringLiteral("十═")), QByteArray("\xA4\x51\xF9\xF9"));
    }
}

// A statement's quoting is done on the text, so no character but the quote itself may
// write the quote's byte, and none but U+0000 a NUL: every character there is, and every
// private one, notably those standing for a pair that would end in such a byte.
void TestCp950::onlyAQuoteWritesAQuote()
{
    const TextCodec codec(QString {});
    int written = 0;
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QString text = QString::fromUcs4(&code, 1);
        QByteArray bytes;
        try {
            bytes = codec.encode(text);
        } catch (const EDatabaseError&) {
            continue;
        }
        ++written;
        if (bytes.contains('\'') != (code == u'\'') || bytes.contains('\0') != (code == 0))
            QFAIL(qPrintable(QStringLiteral("U+%1 writes %2").arg(uint(code), 4, 16).arg(QString::fromLatin1(bytes.toHex()))));
    }
    QVERIFY(written > 20000);
    // What stands for stored bytes still writes them: a pair ending in a backslash's byte,
    // which is a trail byte, and a lone lead byte before a quote.
    QCOMPARE(codec.encode(QStringLiteral("\U000F815C")), QByteArray("\x81\x5C"));
    QCOMPARE(codec.encode(QStringLiteral("\U000F0081'")), QByteArray("\x81'"));
    QCOMPARE(codec.decode("\x81'", 2), QStringLiteral("\U000F0081'"));
}

QTEST_GUILESS_MAIN(TestCp950)
#include "tst_cp950.moc"
