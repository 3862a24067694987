// Named parameters: which colons are markers, and the text the driver gets.
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlParams.h"
#include "data/sql/SqlStatement.h"

#include <QTest>

using namespace kordane;

namespace {

QStringList namesIn(const QString& text)
{
    QStringList names;
    for (const auto& marker : sqlparams::namedMarkers(text))
        names.append(marker.name);
    return names;
}

} // namespace

class TestParams : public QObject {
    Q_OBJECT

private slots:
    void derivation_data();
    void derivation();
    void driverText_data();
    void driverText();
    void paramList();
};

void TestParams::derivation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("insert values") << " VALUES(:INI_DATE,:EMPLOYEE_ID,:TIME_IN)\r\n"
                                   << QStringList {QStringLiteral("INI_DATE"), QStringLiteral("EMPLOYEE_ID"), QStringLiteral("TIME_IN")};
    QTest::newRow("single-quoted literal") << QStringLiteral("WHERE A = ':NOT' AND B = :YES") << QStringList {QStringLiteral("YES")};
    QTest::newRow("doubled quote stays inside") << QStringLiteral("WHERE A = 'it'':s :NOT' AND B=:YES") << QStringList {QStringLiteral("YES")};
    QTest::newRow("double-quoted literal") << QStringLiteral("SELECT \":NOT\" FROM T WHERE X=:YES") << QStringList {QStringLiteral("YES")};
    QTest::newRow("backquoted literal") << QStringLiteral("SELECT `a:NOT` FROM T WHERE X=:YES") << QStringList {QStringLiteral("YES")};
    QTest::newRow("doubled colon is no marker") << QStringLiteral("SELECT a::b, '::' FROM T WHERE X=:P") << QStringList {QStringLiteral("P")};
    QTest::newRow("name ends at each stop")
        << QStringLiteral(":A B :C,:D;:E):F\r:G\n:H") << QStringList {QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("F"), QStringLiteral("G"), QStringLiteral("H")};
    QTest::newRow("name runs past other characters") << QStringLiteral("X=:A=B") << QStringList {QStringLiteral("A=B")};
    QTest::newRow("lone colon") << "X = : AND Y = :" << QStringList {};
    QTest::newRow("Chinese around") << QStringLiteral("WHERE 名='日:一' AND X=:名字 ") << QStringList {QStringLiteral("名字")};
    QTest::newRow("unterminated literal hides the rest") << "WHERE A = 'x :NOT" << QStringList {};
}

void TestParams::derivation()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    QCOMPARE(namesIn(text), names);
}

void TestParams::driverText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quote");
    QTest::addColumn<QString>("expected");
    QTest::newRow("insert") << " VALUES(:INI_DATE,:EMPLOYEE_ID,:TIME_IN)\r\n"
                            << "\""
                            << " VALUES( ? , ? , ? )\r\n";
    QTest::newRow("after each allowed character") << "X :A\r:B\n:C\n(:D)\n):E\n,:F\n<:G\n=:H\n>:I"
                                                  << "\""
                                                  << "X  ? \r ? \n ? \n( ? )\n) ? \n, ? \n< ? \n= ? \n> ? ";
    QTest::newRow("not after other characters") << "X+:A"
                                                << "\""
                                                << "X+:A";
    QTest::newRow("at the very start") << ":A = 1"
                                       << "\""
                                       << " ?  = 1";
    QTest::newRow("prefix of a longer name untouched") << "X=:AB, Y=:A"
                                                       << "\""
                                                       << "X= ? , Y= ? ";
    QTest::newRow("same text inside a literal skipped") << "X=':A' AND Y=:A"
                                                        << "\""
                                                        << "X=':A' AND Y= ? ";
    QTest::newRow("quote char literal skipped") << "SELECT \"=:A\" FROM T WHERE Y=:A"
                                                << "\""
                                                << "SELECT \"=:A\" FROM T WHERE Y= ? ";
    QTest::newRow("doubled colon kept") << "X=a::b AND Y=:P"
                                        << "\""
                                        << "X=a::b AND Y= ? ";
    QTest::newRow("quote inside a name opens no literal") << "X=:A'B AND Y=:C"
                                                          << "\""
                                                          << "X= ?  AND Y= ? ";
    QTest::newRow("doubled colon at the start") << "::A=:B"
                                                << "\""
                                                << "::A= ? ";
    QTest::newRow("semicolon kept") << "UPDATE T SET A=:A;"
                                    << "\""
                                    << "UPDATE T SET A= ? ;";
    QTest::newRow("Chinese literal") << "X='日:一' AND Y=:名字"
                                     << "\""
                                     << "X='日:一' AND Y= ? ";
    QTest::newRow("repeated name, two markers") << "X=:P OR Y=:P"
                                                << ""
                                                << "X= ?  OR Y= ? ";
}

void TestParams::driverText()
{
    QFETCH(QString, text);
    QFETCH(QString, quote);
    QFETCH(QString, expected);
    QCOMPARE(sqlparams::driverText(text, namesIn(text), quote), expected);
}

void TestParams::paramList()
{
    SqlConnection connection; // never opened: the text alone decides the parameters
    SqlQuery query(QStringLiteral("SQLQuery1"), connection);
    query.addLine(QStringLiteral("INSERT INTO T(A,B) "));
    query.addLine(QStringLiteral(" VALUES(:A,:B"));
    query.paramByName(QStringLiteral("a")).setAsString(QString());
    query.addLine(QStringLiteral(",:C,:A)"));
    QCOMPARE(query.text(), QStringLiteral("INSERT INTO T(A,B) \r\n VALUES(:A,:B\r\n,:C,:A)\r\n"));
    QCOMPARE(query.params().size(), std::size_t {3});
    const SqlParam& a = query.paramByName(QStringLiteral("A"));
    QVERIFY(a.assigned()); // kept its value through the change of text
    QVERIFY(!a.isNull()); // an empty text, not a null
    QVERIFY(!query.paramByName(QStringLiteral("B")).assigned());
    try {
        query.paramByName(QStringLiteral("D"));
        QFAIL("no error");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), QStringLiteral("SQLQuery1: Parameter 'D' not found"));
    }
    query.clearSql();
    QVERIFY(query.params().empty());
}

QTEST_GUILESS_MAIN(TestParams)
#include "tst_params.moc"
