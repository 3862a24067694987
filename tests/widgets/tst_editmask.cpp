// Fitting assigned texts and the editing steps of the mask model.
#include "widgets/EditMask.h"

#include <QTest>

using kordane::EditMask;

namespace {
const QString DateMask = QStringLiteral("!0000/99/99;1;_");
const QString TimeMask = QStringLiteral("!99:99:99;1;_");
} // namespace

class TestEditMask : public QObject {
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
    void otherSeparators();
    void leftAlignedAndWithoutSeparators();
    void requiredPositions_data();
    void requiredPositions();
    void paste_data();
    void paste();
};

void TestEditMask::fit_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("field");
    QTest::newRow("empty date") << DateMask << ""
                                << "____/__/__"
                                << "    /  /  ";
    QTest::newRow("full date") << DateMask << "2026/12/07"
                               << "2026/12/07"
                               << "2026/12/07";
    QTest::newRow("short runs") << DateMask << "2026/1/5"
                                << "2026/_1/_5"
                                << "2026/ 1/ 5";
    QTest::newRow("no day") << DateMask << "2026/12"
                            << "2026/12/__"
                            << "2026/12/  ";
    QTest::newRow("eight digits") << DateMask << "20261207"
                                  << "1207/__/__"
                                  << "1207/  /  ";
    QTest::newRow("time behind") << DateMask << "2026/12/07 00:00:00"
                                 << "2026/12/00"
                                 << "2026/12/00";
    QTest::newRow("letters kept") << DateMask << "ab/c/d"
                                  << "__ab/_c/_d"
                                  << "  ab/ c/ d";
    QTest::newRow("blank char is unfilled") << DateMask << "____/__/__"
                                            << "____/__/__"
                                            << "    /  /  ";
    QTest::newRow("empty time") << TimeMask << ""
                                << "__:__:__"
                                << "  :  :  ";
    QTest::newRow("full time") << TimeMask << "08:00:00"
                               << "08:00:00"
                               << "08:00:00";
    QTest::newRow("one-digit hour") << TimeMask << "8:00:00"
                                    << "_8:00:00"
                                    << " 8:00:00";
    QTest::newRow("no seconds") << TimeMask << "08:00"
                                << "08:00:__"
                                << "08:00:  ";
    QTest::newRow("date into time") << TimeMask << "2026/12/07"
                                    << "07:__:__"
                                    << "07:  :  ";
}

void TestEditMask::fit()
{
    QFETCH(QString, mask);
    QFETCH(QString, assigned);
    EditMask m(mask);
    m.assign(assigned);
    QTEST(m.shownText(), "shown");
    QTEST(m.fieldText(), "field");
    // The shown text fits back onto itself: restoring a field is exact.
    EditMask again(mask);
    again.assign(m.shownText());
    QCOMPARE(again, m);
}

void TestEditMask::otherSeparators()
{
    EditMask date(DateMask, QLatin1Char('-'), QLatin1Char('.'));
    date.assign(QStringLiteral("2026-1-5"));
    QCOMPARE(date.shownText(), QStringLiteral("2026-_1-_5"));
    date.assign(QStringLiteral("2026/01/05")); // '/' is no separator here
    QCOMPARE(date.shownText(), QStringLiteral("1/05-__-__"));
    EditMask time(TimeMask, QLatin1Char('-'), QLatin1Char('.'));
    time.assign(QStringLiteral("8.5"));
    QCOMPARE(time.shownText(), QStringLiteral("_8._5.__"));
}

void TestEditMask::leftAlignedAndWithoutSeparators()
{
    EditMask left(QStringLiteral("00/00;1;*"));
    left.assign(QStringLiteral("1/234"));
    QCOMPARE(left.shownText(), QStringLiteral("1*/23"));
    EditMask bare(QStringLiteral("!00-00;0;_"));
    bare.assign(QStringLiteral("123"));
    QCOMPARE(bare.shownText(), QStringLiteral("_1-23"));
    QCOMPARE(bare.fieldText(), QStringLiteral(" 123"));
    EditMask escaped(QStringLiteral("\\00;1;_"));
    QCOMPARE(escaped.length(), 2);
    QVERIFY(!escaped.isDigitPosition(0));
    QVERIFY(escaped.isRequiredPosition(1));
}

void TestEditMask::requiredPositions_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<int>("firstUnfilled");
    QTest::newRow("empty date") << DateMask << "" << 0;
    QTest::newRow("partial year") << DateMask << "26/12/07" << 0;
    QTest::newRow("year only") << DateMask << "2026" << -1;
    QTest::newRow("hole in year") << DateMask << "2 26/1/1" << 1;
    QTest::newRow("time never") << TimeMask << "" << -1;
}

void TestEditMask::requiredPositions()
{
    QFETCH(QString, mask);
    QFETCH(QString, assigned);
    QFETCH(int, firstUnfilled);
    EditMask m(mask);
    m.assign(assigned);
    QCOMPARE(m.firstUnfilledRequired(), firstUnfilled);
    QCOMPARE(m.requiredFilled(), firstUnfilled < 0);
}

void TestEditMask::paste_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("caretAfter");
    QTest::addColumn<bool>("refused");
    QTest::newRow("eight digits") << DateMask << "" << 0 << "20261207"
                                  << "2026/12/07" << 10 << false;
    QTest::newRow("with separators") << DateMask << "" << 0 << "2026/12/07"
                                     << "2026/12/07" << 10 << false;
    QTest::newRow("letter unfills") << DateMask << "2026/12/07" << 0 << "20x6"
                                    << "20_6/12/07" << 5 << true;
    QTest::newRow("stops at end") << DateMask << "" << 8 << "123456"
                                  << "____/__/12" << 10 << false;
    QTest::newRow("from the month") << DateMask << "2026/12/07" << 5 << "0115"
                                    << "2026/01/15" << 10 << false;
    QTest::newRow("time digits") << TimeMask << "" << 0 << "0830"
                                 << "08:30:__" << 6 << false;
}

void TestEditMask::paste()
{
    QFETCH(QString, mask);
    QFETCH(QString, before);
    QFETCH(int, caret);
    QFETCH(QString, pasted);
    EditMask m(mask);
    m.assign(before);
    bool refused = false;
    const int after = m.paste(caret, pasted, &refused);
    QTEST(m.shownText(), "shown");
    QTEST(after, "caretAfter");
    QTEST(refused, "refused");
}

QTEST_APPLESS_MAIN(TestEditMask)
#include "tst_editmask.moc"
