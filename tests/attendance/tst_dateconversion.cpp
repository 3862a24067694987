// Reading date texts under the regional settings, and the weekday of a date.
#include "attendance/DateConversion.h"
#include "data/Exceptions.h"

#include <QTest>

using namespace kordane;

class TestDateConversion : public QObject {
    Q_OBJECT
private slots:
    void convert_data();
    void convert();
    void message();
    void weekday_data();
    void weekday();
    void formatting();
};

void TestDateConversion::convert_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: the conversion fails
    const QString ymd = QStringLiteral("yyyy/MM/dd");
    const QString slash = QStringLiteral("/");
    QTest::newRow("plain") << ymd << slash << "2026/12/07" << QDate(2026, 12, 7);
    QTest::newRow("typed with blanks") << ymd << slash << "2026/1 /5 " << QDate(2026, 1, 5);
    QTest::newRow("blanks everywhere") << ymd << slash << "  2026 / 1 / 5  " << QDate(2026, 1, 5);
    QTest::newRow("trailing separator") << ymd << slash << "2026/12/07/ " << QDate(2026, 12, 7);
    QTest::newRow("short numbers") << ymd << slash << "26/1/5" << QDate(26, 1, 5);
    QTest::newRow("leap day") << ymd << slash << "2024/02/29" << QDate(2024, 2, 29);
    QTest::newRow("leap century") << ymd << slash << "2000/02/29" << QDate(2000, 2, 29);
    QTest::newRow("year 1") << ymd << slash << "0001/01/01" << QDate(1, 1, 1);
    QTest::newRow("year 9999") << ymd << slash << "9999/12/31" << QDate(9999, 12, 31);
    QTest::newRow("zeros before a number") << ymd << slash << "2026/0012/007" << QDate(2026, 12, 7);
    QTest::newRow("day first") << QStringLiteral("dd.MM.yyyy") << "."
                               << "07.12.2026" << QDate(2026, 12, 7);
    QTest::newRow("month first") << QStringLiteral("M/d/yyyy") << slash << "12/7/2026" << QDate(2026, 12, 7);
    QTest::newRow("era letter") << QStringLiteral("ee-MM-dd") << "-"
                                << "2026-12-07" << QDate(2026, 12, 7);
    QTest::newRow("no order letter") << QStringLiteral("") << slash << "12/7/2026" << QDate(2026, 12, 7);
    QTest::newRow("weekday name first") << QStringLiteral("dddd yyyy/MM/dd") << slash << "7/12/2026" << QDate(2026, 12, 7);

    QTest::newRow("untouched field") << ymd << slash << "    /  /  " << QDate();
    QTest::newRow("empty") << ymd << slash << "" << QDate();
    QTest::newRow("year only") << ymd << slash << "2026/  /  " << QDate();
    QTest::newRow("February 30") << ymd << slash << "2026/02/30" << QDate();
    QTest::newRow("month 13") << ymd << slash << "2026/13/01" << QDate();
    QTest::newRow("not leap") << ymd << slash << "2100/02/29" << QDate();
    QTest::newRow("year 0") << ymd << slash << "0/01/01" << QDate();
    QTest::newRow("day 0") << ymd << slash << "2026/01/00" << QDate();
    QTest::newRow("two numbers") << ymd << slash << "2026/12" << QDate();
    QTest::newRow("other separator") << ymd << slash << "2026-12-07" << QDate();
    QTest::newRow("two trailing separators") << ymd << slash << "2026/12/07//" << QDate();
    QTest::newRow("time behind") << ymd << slash << "2026/12/07 00:00:00" << QDate();
    QTest::newRow("five-digit year") << ymd << slash << "20261/12/07" << QDate();
    QTest::newRow("year 1000") << ymd << slash << "1000/1/1" << QDate(1000, 1, 1);
    QTest::newRow("stops at 1000") << ymd << slash << "10001/1/1" << QDate();
    QTest::newRow("value 1000 stops") << ymd << slash << "2026/12/10001" << QDate();
    QTest::newRow("letters") << ymd << slash << "abcd/ef/gh" << QDate();
    QTest::newRow("non-ASCII digits") << ymd << slash << QString::fromUtf8("２０２６/12/07") << QDate();
    QTest::newRow("negative") << ymd << slash << "-2026/12/07" << QDate();
}

void TestDateConversion::convert()
{
    QFETCH(QString, format);
    QFETCH(QString, separator);
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    RegionalSettings settings;
    settings.shortDateFormat = format;
    settings.dateSeparator = separator[0];
    if (expected.isValid()) {
        QCOMPARE(strToDate(text, settings), expected);
    } else {
        QVERIFY_THROWS_EXCEPTION(EConvertError, strToDate(text, settings));
    }
}

void TestDateConversion::message()
{
    try {
        strToDate(QStringLiteral("2026/ 1/%1"), RegionalSettings());
        QFAIL("converted");
    } catch (const EConvertError& e) {
        QCOMPARE(e.message(), QStringLiteral("'2026/ 1/%1' is not a valid date"));
    }
}

void TestDateConversion::weekday_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("character");
    QTest::newRow("Monday") << QDate(2026, 12, 7) << 2 << QStringLiteral("一");
    QTest::newRow("Thursday") << QDate(2026, 2, 5) << 5 << QStringLiteral("四");
    QTest::newRow("Sunday") << QDate(2026, 12, 6) << 1 << QStringLiteral("日");
    QTest::newRow("Saturday") << QDate(2026, 12, 12) << 7 << QStringLiteral("六");
    QTest::newRow("year 1") << QDate(1, 1, 1) << 2 << QStringLiteral("一");
    QTest::newRow("invalid") << QDate() << 0 << QString();
}

void TestDateConversion::weekday()
{
    QFETCH(QDate, date);
    QTEST(dayOfWeek(date), "day");
    QTEST(weekdayCharacter(dayOfWeek(date)), "character");
    QCOMPARE(weekdayCharacter(8), QString());
}

void TestDateConversion::formatting()
{
    QCOMPARE(formatDate(QDate(2026, 1, 5), RegionalSettings()), QStringLiteral("2026/01/05"));
    RegionalSettings dashes;
    dashes.dateSeparator = QLatin1Char('-');
    {
        ScopedRegionalSettings scope(dashes);
        QCOMPARE(formatDate(QDate(7, 12, 31), RegionalSettings::current()), QStringLiteral("0007-12-31"));
    }
    QCOMPARE(RegionalSettings::current().dateSeparator, QLatin1Char('/'));
}

QTEST_APPLESS_MAIN(TestDateConversion)
#include "tst_dateconversion.moc"
