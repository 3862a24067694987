// The result set's in-memory engine and the statements generated from its change log,
// without a database.
#include "data/resultset/BlockStorage.h"
#include "data/resultset/RecordStore.h"
#include "data/resultset/UpdateResolver.h"

#include <QTest>

using namespace kordane;

namespace {

std::vector<CellBytes> row(std::initializer_list<const char*> values)
{
    std::vector<CellBytes> r;
    for (const char* v : values)
        r.push_back(v ? CellBytes(QByteArray(v)) : std::nullopt);
    return r;
}

RecordStore storeOf(std::initializer_list<std::initializer_list<const char*>> rows)
{
    RecordStore store(2);
    for (const auto& r : rows) {
        for (const char* v : r) {
            if (v)
                store.appendCell(v, std::strlen(v));
            else
                store.appendNull();
        }
        store.endRow();
    }
    return store;
}

// A change's statement, as the resolver writes it: text by the shape, values by the change.
GeneratedStatement generateStatement(const DeltaRecord& change, const std::vector<TField>& columns,
                                     const QString& quotedTable, const QString& quote)
{
    const StatementShape shape = shapeOf(change, columns);
    return {statementText(shape, columns, quotedTable, quote), statementValues(change, shape)};
}

QString text(const CellValue& v)
{
    return v ? QString::fromUtf8(v->data(), static_cast<qsizetype>(v->size())) : QStringLiteral("<null>");
}

std::vector<TField> columns(std::initializer_list<std::pair<const char*, dbx::FieldType>> defs)
{
    std::vector<TField> result;
    for (const auto& [name, type] : defs) {
        TField f {QString::fromLatin1(name), {}};
        f.info.name = name;
        f.info.type = type;
        result.push_back(f);
    }
    return result;
}

} // namespace

class TestDataSetStore : public QObject {
    Q_OBJECT
private slots:
    void arenaKeepsValuesAcrossBlocks();
    void keepsCellsOfEveryLength();
    void loadsAndHidesDeletedRows();
    void foldsChangesOfOneRow();
    void mergesOnlyAppliedChanges();
    void findsTableName_data();
    void findsTableName();
    void quotesTableName_data();
    void quotesTableName();
    void generatesDelete();
    void generatesModifyAndInsert();
    void leavesLargeValuesOutOfWhere();
    void bareNamesWithoutQuoteChar();
};

void TestDataSetStore::arenaKeepsValuesAcrossBlocks()
{
    ByteArena arena;
    const auto add = [&arena](const std::string& value) {
        if (!value.empty())
            std::memcpy(arena.extend(value.size()), value.data(), value.size());
        return arena.finish();
    };
    std::vector<std::pair<std::uint32_t, std::string>> stored;
    // Sizes that straddle block ends, empty values and values too large for a block share.
    for (int i = 0; i < 400; ++i) {
        const std::size_t size = i % 50 == 0 ? 70000 + i : (i % 7 == 0 ? 0 : 3000 + 97 * i);
        std::string value(size, static_cast<char>('a' + i % 26));
        if (!value.empty())
            value.back() = static_cast<char>(i);
        stored.emplace_back(add(value), value);
    }
    // Values written in pieces, some growing large on the way, some given up half-way:
    // what is kept is whole, and what was given up leaves nothing in the next one.
    for (int i = 0; i < 60; ++i) {
        const std::size_t piece = i % 3 == 0 ? 30000 : 700 + static_cast<std::size_t>(i);
        std::string value;
        for (int k = 0; k < 1 + i % 4; ++k) {
            const std::string part(piece, static_cast<char>('A' + (i + k) % 26));
            std::memcpy(arena.extend(part.size()), part.data(), part.size());
            value += part;
        }
        if (i % 5 == 0)
            arena.discard();
        else
            stored.emplace_back(arena.finish(), value);
    }
    const char* const first = arena.at(stored[1].first);
    for (const auto& [locator, value] : stored)
        QVERIFY(value.empty() || std::string_view(arena.at(locator), value.size()) == value);
    QVERIFY(first == arena.at(stored[1].first)); // nothing moved

    BlockVector<int, 4> small;
    for (int i = 0; i < 10; ++i)
        small.push_back(i * i);
    QCOMPARE(small.size(), std::size_t(10));
    QCOMPARE(small[9], 81);
}

void TestDataSetStore::keepsCellsOfEveryLength()
{
    // Lengths around the one-byte limit and the arena's block share, nulls and empties
    // between them: each cell must come back whole, wherever it sits in its row.
    const std::size_t lengths[] = {0, 1, 253, 254, 255, 256, 300, 65536, 70000, 2000000};
    constexpr int width = 5;
    std::vector<std::vector<CellBytes>> rows;
    for (std::size_t i = 0; i < std::size(lengths) * width; i += width) {
        std::vector<CellBytes> r;
        for (std::size_t c = 0; c < width; ++c) {
            const std::size_t k = (i + c) % (std::size(lengths) + 1);
            if (k == std::size(lengths))
                r.emplace_back(std::nullopt);
            else
                r.emplace_back(QByteArray(static_cast<qsizetype>(lengths[k]), static_cast<char>('a' + c)));
        }
        rows.push_back(std::move(r));
    }
    RecordStore store(width);
    for (const auto& r : rows) {
        for (const CellBytes& v : r) {
            if (v)
                store.appendCell(v->constData(), static_cast<std::size_t>(v->size()));
            else
                store.appendNull();
        }
        store.endRow();
    }
    // Changed records are written the same way: an insert, and two rows swapped.
    std::vector<std::vector<CellBytes>> shown = rows;
    shown.insert(shown.begin(), rows.back());
    std::swap(shown[1], shown[2]);
    store.insertRow(0, shown[0]);
    store.modifyRow(1, shown[1]);
    store.modifyRow(2, shown[2]);
    QCOMPARE(store.rowCount(), static_cast<int>(shown.size()));
    for (int r = 0; r < store.rowCount(); ++r)
        QVERIFY2(store.rowValues(r) == shown[static_cast<std::size_t>(r)], qPrintable(QString::number(r)));
}

void TestDataSetStore::loadsAndHidesDeletedRows()
{
    RecordStore store = storeOf({{"a", "1"}, {"b", nullptr}, {"c", ""}});
    QCOMPARE(store.rowCount(), 3);
    QVERIFY(!store.cell(1, 1).has_value());
    QCOMPARE(text(store.cell(2, 1)), QString()); // empty, not null
    QVERIFY(store.cell(2, 1).has_value());

    store.deleteRow(1);
    QCOMPARE(store.rowCount(), 2);
    QCOMPARE(text(store.cell(1, 0)), QStringLiteral("c"));
    const auto delta = store.delta();
    QCOMPARE(delta.size(), std::size_t(1));
    QCOMPARE(delta[0].kind, ChangeKind::Delete);
    QCOMPARE(text(delta[0].oldValues[0]), QStringLiteral("b"));
    QVERIFY(!delta[0].oldValues[1].has_value());
}

void TestDataSetStore::foldsChangesOfOneRow()
{
    RecordStore store = storeOf({{"a", "1"}, {"b", "2"}});
    store.modifyRow(0, row({"a", "9"}));
    store.insertRow(2, row({"n", "5"}));
    store.modifyRow(0, row({"a", "8"})); // still one modification, in first place
    store.modifyRow(2, row({"n", "6"})); // still one insert
    QCOMPARE(store.changeCount(), 2);
    auto delta = store.delta();
    QCOMPARE(delta[0].kind, ChangeKind::Modify);
    QCOMPARE(text(delta[0].oldValues[1]), QStringLiteral("1"));
    QCOMPARE(text(delta[0].newValues[1]), QStringLiteral("8"));
    QCOMPARE(delta[1].kind, ChangeKind::Insert);
    QCOMPARE(text(delta[1].newValues[1]), QStringLiteral("6"));

    store.deleteRow(0); // a modified row deleted: one deletion, values as fetched
    store.deleteRow(1); // an inserted row deleted: no trace
    delta = store.delta();
    QCOMPARE(delta.size(), std::size_t(1));
    QCOMPARE(delta[0].kind, ChangeKind::Delete);
    QCOMPARE(text(delta[0].oldValues[1]), QStringLiteral("1"));

    RecordStore back = storeOf({{"a", "1"}});
    back.modifyRow(0, row({"a", "2"}));
    back.modifyRow(0, row({"a", "1"})); // back to the fetched values
    QCOMPARE(back.changeCount(), 0);
}

void TestDataSetStore::mergesOnlyAppliedChanges()
{
    RecordStore store = storeOf({{"a", "1"}, {"b", "2"}});
    store.modifyRow(0, row({"a", "7"}));
    store.deleteRow(1);
    store.merge({true, false});
    QCOMPARE(store.changeCount(), 1);
    QCOMPARE(store.rowCount(), 1); // the pending deletion keeps its row hidden
    QCOMPARE(store.delta()[0].kind, ChangeKind::Delete);

    store.modifyRow(0, row({"a", "8"})); // the applied value is now the row's old value
    QCOMPARE(text(store.delta()[1].oldValues[1]), QStringLiteral("7"));
    store.merge(std::vector<bool>(static_cast<std::size_t>(store.changeCount()), true));
    QCOMPARE(store.changeCount(), 0);
}

void TestDataSetStore::findsTableName_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("table");
    QTest::newRow("system text") << "select * from POS_DAY \r\nwhere INI_DATE = '2026/12/09'\r\n"
                                 << "POS_DAY";
    QTest::newRow("lower keyword") << "SELECT a FROM\r\n  pos_day p"
                                   << "pos_day";
    QTest::newRow("dotted") << "select * from ADM.POS_DAY where 1=1"
                            << "ADM.POS_DAY";
    QTest::newRow("quoted") << "select * from \"Pos Day\""
                            << "\"Pos Day\"";
    QTest::newRow("literal skipped") << "select 'from x' as f from POS_DAY"
                                     << "POS_DAY";
    QTest::newRow("word containing from") << "select fromage from T1"
                                          << "T1";
    QTest::newRow("none") << "select 1 as x"
                          << "";
    QTest::newRow("derived table") << "select * from (select 1 from rdb$database)"
                                   << "";
}

void TestDataSetStore::findsTableName()
{
    QFETCH(QString, sql);
    QFETCH(QString, table);
    QCOMPARE(tableNameOf(sql), table);
}

void TestDataSetStore::quotesTableName_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("quote");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "POS_DAY"
                           << "\""
                           << "\"POS_DAY\"";
    QTest::newRow("dotted kept whole") << "A.B"
                                       << "\""
                                       << "\"A.B\"";
    QTest::newRow("already quoted") << "\"T\""
                                    << "\""
                                    << "\"T\"";
    QTest::newRow("backquote end") << "T`"
                                   << "\""
                                   << "T`";
    QTest::newRow("single quote start") << "'T"
                                        << "\""
                                        << "'T";
    QTest::newRow("no quote char") << "POS_DAY"
                                   << ""
                                   << "POS_DAY";
}

void TestDataSetStore::quotesTableName()
{
    QFETCH(QString, table);
    QFETCH(QString, quote);
    QFETCH(QString, quoted);
    QCOMPARE(quotedTableName(table, quote), quoted);
}

void TestDataSetStore::generatesDelete()
{
    const auto cols = columns({{"EMPLOYEE_ID", dbx::FieldType::String},
                               {"CARD_ID", dbx::FieldType::String},
                               {"NOTE", dbx::FieldType::Memo}});
    const DeltaRecord del {ChangeKind::Delete, {"E01", std::nullopt, "memo"}, {}};
    const GeneratedStatement s = generateStatement(del, cols, QStringLiteral("\"POS_DAY\""), QStringLiteral("\""));
    QCOMPARE(s.text, QStringLiteral("delete from \"POS_DAY\" \r\n"
                                    "where\r\n"
                                    " \"EMPLOYEE_ID\" = ? and\r\n"
                                    " \"CARD_ID\" is null\r\n"));
    QCOMPARE(s.values.size(), std::size_t(1));
    QCOMPARE(text(s.values[0]), QStringLiteral("E01"));

    const auto blobOnly = columns({{"NOTE", dbx::FieldType::Blob}});
    try {
        generateStatement({ChangeKind::Delete, {"x"}, {}}, blobOnly, QStringLiteral("T"), QStringLiteral("\""));
        QFAIL("a row without key columns must not be addressed");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to find record.  No key specified"));
    }
}

void TestDataSetStore::generatesModifyAndInsert()
{
    const auto cols = columns({{"A", dbx::FieldType::String}, {"B", dbx::FieldType::String}, {"C", dbx::FieldType::Int32}});
    const DeltaRecord mod {ChangeKind::Modify, {"1", "2", std::nullopt}, {"1", "3", "4"}};
    const GeneratedStatement m = generateStatement(mod, cols, QStringLiteral("\"T\""), QStringLiteral("\""));
    QCOMPARE(m.text, QStringLiteral("update \"T\"  set\r\n"
                                    " \"B\" = ?,\r\n"
                                    " \"C\" = ?\r\n"
                                    "where\r\n"
                                    " \"A\" = ? and\r\n"
                                    " \"B\" = ? and\r\n"
                                    " \"C\" is null\r\n"));
    QStringList bound;
    for (const CellValue& v : m.values)
        bound << text(v);
    QCOMPARE(bound, QStringList({QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("2")}));

    const DeltaRecord ins {ChangeKind::Insert, {}, {"x", std::nullopt, "5"}};
    const GeneratedStatement i = generateStatement(ins, cols, QStringLiteral("\"T\""), QStringLiteral("\""));
    QCOMPARE(i.text, QStringLiteral("insert into \"T\"\r\n"
                                    "  (\"A\", \"C\")\r\n"
                                    "values\r\n"
                                    "  (?, ?)\r\n"));
    QCOMPARE(i.values.size(), std::size_t(2));
}

void TestDataSetStore::leavesLargeValuesOutOfWhere()
{
    const auto cols = columns({{"K", dbx::FieldType::String}, {"BIG", dbx::FieldType::String}});
    const std::string justUnder(8191, 'x');
    const std::string limit(8192, 'x');
    const auto where = [&](const std::string& big) {
        const DeltaRecord del {ChangeKind::Delete, {"k", std::string_view(big)}, {}};
        return generateStatement(del, cols, QStringLiteral("T"), QStringLiteral("\"")).values.size();
    };
    QCOMPARE(where(justUnder), std::size_t(2));
    QCOMPARE(where(limit), std::size_t(1));
}

void TestDataSetStore::bareNamesWithoutQuoteChar()
{
    const auto cols = columns({{"A", dbx::FieldType::String}});
    const GeneratedStatement s = generateStatement({ChangeKind::Delete, {"1"}, {}}, cols, QStringLiteral("T"), QString());
    QCOMPARE(s.text, QStringLiteral("delete from T \r\nwhere\r\n A = ?\r\n"));
}

QTEST_GUILESS_MAIN(TestDataSetStore)
#include "tst_datasetstore.moc"
