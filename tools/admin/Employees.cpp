// employees import / export: the EMPLOYEE table as a CSV file with the header
// EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID, texts stored as the program reads them, and a
// DEPARTMENT column from EMPLOYEE_DEPARTMENT once a site keeps departments. The export
// guards cells against spreadsheet formulas and the import takes the guard off, so that
// export then import gives back the stored bytes.
#include "data/Exceptions.h"
#include "tools/admin/Admin.h"
#include "tools/admin/Catalog.h"
#include "tools/admin/Csv.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/sheet/CsvCell.h"

#include <QCommandLineParser>

#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>

namespace kordane::admin {
namespace {

const QStringList columns = {QStringLiteral("EMPLOYEE_ID"), QStringLiteral("EMPLOYEE_NAME"), QStringLiteral("CARD_ID")};
const QString departmentColumn = QStringLiteral("DEPARTMENT");
const char* const departmentTable = "EMPLOYEE_DEPARTMENT";

struct Stored {
    QByteArray name;
    QByteArray card;
};

QByteArray bytesOf(const RawFirebird::Value& value)
{
    return value ? QByteArray::fromStdString(*value) : QByteArray();
}

// A control character, which the window would show as a blank: C0, DEL and C1.
std::optional<char16_t> controlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            return c.unicode();
    }
    return std::nullopt;
}

struct Counts {
    int added = 0;
    int changed = 0;
    int unchanged = 0;
    int refused = 0;
};

class Import {
public:
    Import(const Site& site, RawFirebird& db, csv::Formulas formulas)
        : site_(site)
        , formulas_(formulas)
        , db_(db)
        , widths_(columnWidths(db, "EMPLOYEE", columns))
    {
        for (const auto& row : db.query("SELECT EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE"))
            stored_[bytesOf(row[0])] = {bytesOf(row[1]), bytesOf(row[2])};
    }

    // The header names the three columns in any order, and DEPARTMENT or not; where each is.
    void header(const csv::Record& record, const QString& path)
    {
        QStringList names;
        for (const QString& field : record.fields)
            names.append(field.trimmed().toUpper());
        for (int i = 0; i < columns.size(); ++i)
            position_[i] = static_cast<int>(names.indexOf(columns[i]));
        department_ = static_cast<int>(names.indexOf(departmentColumn));
        QStringList sorted = names;
        sorted.sort();
        QStringList wanted = columns;
        if (department_ >= 0)
            wanted.append(departmentColumn);
        wanted.sort();
        if (!record.malformed.isEmpty() || sorted != wanted) {
            throw std::runtime_error(path.toStdString() + " line " + std::to_string(record.line)
                                     + ": the header must name EMPLOYEE_ID, EMPLOYEE_NAME and CARD_ID, each once, and may name DEPARTMENT once");
        }
        if (department_ >= 0) {
            if (!tableExists(db_, departmentTable))
                throw std::runtime_error(path.toStdString() + " has a DEPARTMENT column, but the database keeps no departments yet (kordane-admin upgrade adds their table)");
            departmentWidth_ = columnWidths(db_, departmentTable, {departmentColumn}).at(departmentColumn);
            for (const auto& row : db_.query("SELECT EMPLOYEE_ID, DEPARTMENT FROM EMPLOYEE_DEPARTMENT"))
                departments_[bytesOf(row[0])] = bytesOf(row[1]);
        }
    }

    void add(const csv::Record& record)
    {
        const QString refusal = check(record);
        if (!refusal.isEmpty()) {
            ++counts_.refused;
            std::fprintf(stderr, "line %d: %s\n", record.line, qPrintable(refusal));
        }
    }

    const Counts& counts() const { return counts_; }
    // The employees' rows, then the departments': set, then removed.
    std::vector<RawFirebird::Batch> writes() const
    {
        return {{"UPDATE OR INSERT INTO EMPLOYEE (EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID) VALUES (?, ?, ?) MATCHING (EMPLOYEE_ID)", writes_},
                {"UPDATE OR INSERT INTO EMPLOYEE_DEPARTMENT (EMPLOYEE_ID, DEPARTMENT) VALUES (?, ?) MATCHING (EMPLOYEE_ID)", departmentWrites_},
                {"DELETE FROM EMPLOYEE_DEPARTMENT WHERE EMPLOYEE_ID = ?", departmentRemovals_}};
    }

private:
    // Why the record is refused; empty when it is taken.
    QString check(const csv::Record& record)
    {
        if (!record.malformed.isEmpty())
            return QStringLiteral("malformed CSV: ") + record.malformed;
        const qsizetype fields = columns.size() + (department_ >= 0 ? 1 : 0);
        if (record.fields.size() != fields)
            return QStringLiteral("malformed CSV: %1 fields, not %2").arg(record.fields.size()).arg(fields);
        // The texts to store: a guarded export's apostrophe comes off first.
        QString texts[3];
        for (int i = 0; i < columns.size(); ++i) {
            const QString& field = record.fields[position_[i]];
            texts[i] = formulas_ == csv::Formulas::Guarded ? report::unguarded(field) : field;
        }
        const QString& id = texts[0];
        if (id.isEmpty())
            return QStringLiteral("no EMPLOYEE_ID");
        for (int i = 0; i < columns.size(); ++i) {
            if (const auto c = controlCharacter(texts[i]))
                return QStringLiteral("%1 holds a control character (U+%2)").arg(columns[i], QString::number(*c, 16).toUpper().rightJustified(4, u'0'));
        }
        // Codes are matched byte for byte: one with a blank at an end is never keyed in.
        if (id.front().isSpace() || id.back().isSpace())
            return QStringLiteral("EMPLOYEE_ID '%1' starts or ends with a blank").arg(id);
        const auto [first, isNew] = seen_.emplace(id, record.line);
        if (!isNew)
            return QStringLiteral("EMPLOYEE_ID '%1' repeated (first on line %2)").arg(id).arg(first->second);
        QByteArray values[3];
        for (int i = 0; i < columns.size(); ++i) {
            const QString& text = texts[i];
            try {
                values[i] = site_.codec().encode(text);
            } catch (const EDatabaseError& e) {
                return columns[i] + QStringLiteral(": ") + e.message();
            }
            const Width& width = widths_.at(columns[i]);
            if (width.bytes >= 0 && values[i].size() > width.bytes)
                return QStringLiteral("%1 '%2' is %3 bytes, wider than the column's %4")
                    .arg(columns[i], text)
                    .arg(values[i].size())
                    .arg(width.bytes);
            if (width.characters >= 0 && text.toUcs4().size() > width.characters)
                return QStringLiteral("%1 '%2' is %3 characters, wider than the column's %4")
                    .arg(columns[i], text)
                    .arg(text.toUcs4().size())
                    .arg(width.characters);
        }
        std::optional<QByteArray> department;
        if (department_ >= 0) {
            department = QByteArray();
            if (const QString problem = departmentProblem(record.fields[department_], *department); !problem.isEmpty())
                return problem;
        }
        // A null name or card reads back as an empty text, which is what the file holds.
        const auto it = stored_.find(values[0]);
        const bool employeeSame = it != stored_.end() && it->second.name == values[1] && it->second.card == values[2];
        const bool departmentSame = !department || departmentOf(values[0]) == *department;
        if (employeeSame && departmentSame) {
            ++counts_.unchanged;
            return {};
        }
        ++(it == stored_.end() ? counts_.added : counts_.changed);
        if (!employeeSame)
            writes_.push_back({values[0].toStdString(), values[1].toStdString(), values[2].toStdString()});
        if (!departmentSame) {
            if (department->isEmpty())
                departmentRemovals_.push_back({values[0].toStdString()});
            else
                departmentWrites_.push_back({values[0].toStdString(), department->toStdString()});
        }
        return {};
    }

    // The employee's stored department; empty for none.
    QByteArray departmentOf(const QByteArray& id) const
    {
        const auto it = departments_.find(id);
        return it == departments_.end() ? QByteArray() : it->second;
    }

    // Why a DEPARTMENT cell cannot be stored; `bytes` gets what is stored (empty: none).
    QString departmentProblem(const QString& field, QByteArray& bytes) const
    {
        const QString text = formulas_ == csv::Formulas::Guarded ? report::unguarded(field) : field;
        // Patterns name a department by its text: one with a blank at an end would not match.
        return text.isEmpty() ? QString() : nameProblem(departmentColumn, text, site_.codec(), departmentWidth_, bytes);
    }

    const Site& site_;
    const csv::Formulas formulas_;
    RawFirebird& db_;
    const std::map<QString, Width> widths_;
    std::map<QByteArray, Stored> stored_;
    std::map<QString, int> seen_; // code -> line
    int position_[3] = {};
    int department_ = -1; // no DEPARTMENT column: departments stay as they are
    Width departmentWidth_;
    std::map<QByteArray, QByteArray> departments_;
    Counts counts_;
    std::vector<std::vector<RawFirebird::Value>> writes_;
    std::vector<std::vector<RawFirebird::Value>> departmentWrites_;
    std::vector<std::vector<RawFirebird::Value>> departmentRemovals_;
};

int importFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Adds or updates employees by EMPLOYEE_ID from a CSV file whose header names EMPLOYEE_ID, "
                       "EMPLOYEE_NAME and CARD_ID in any order, and may name DEPARTMENT: an employee's department, "
                       "none when the cell is empty; without the column departments stay as they are. A cell that starts with apostrophes followed by "
                       "= + - @, a tab or a carriage return loses one apostrophe: the one export adds against "
                       "spreadsheet formulas. All or nothing: when a line is refused, nothing is written and the "
                       "exit status is 1."));
    const QCommandLineOption encodingOption(QStringLiteral("encoding"), QStringLiteral("The file's encoding: utf-8 (default) or big5."), QStringLiteral("NAME"), QStringLiteral("utf-8"));
    const QCommandLineOption dryRunOption(QStringLiteral("dry-run"), QStringLiteral("Check and count, write nothing."));
    const QCommandLineOption rawOption(QStringLiteral("raw"), QStringLiteral("Take every cell as it is, as export --raw writes it: no apostrophe comes off."));
    parser.addOptions({connectionsOption(), encodingOption, dryRunOption, rawOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV file."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 1)
        throw std::runtime_error("employees import takes one FILE (kordane-admin employees import --help)");
    const QString encoding = parser.value(encodingOption).toLower();
    if (encoding != u"utf-8" && encoding != u"big5")
        throw std::runtime_error("--encoding is utf-8 or big5, not " + encoding.toStdString());
    const QString path = parser.positionalArguments().first();

    const csv::FileText file = csv::readFile(path, encoding);
    const std::vector<csv::Record> records = csv::parse(file.text, file.badLines);
    if (records.empty())
        throw std::runtime_error(path.toStdString() + " is empty: it needs at least the header line");
    const Site site(parser);
    RawFirebird db = site.attach();
    Import import(site, db, parser.isSet(rawOption) ? csv::Formulas::AsStored : csv::Formulas::Guarded);
    import.header(records.front(), path);
    for (std::size_t i = 1; i < records.size(); ++i)
        import.add(records[i]);

    const Counts& n = import.counts();
    std::printf("added %d, changed %d, unchanged %d, refused %d\n", n.added, n.changed, n.unchanged, n.refused);
    std::fflush(stdout);
    if (n.refused > 0)
        throw std::runtime_error("nothing written: " + std::to_string(n.refused) + (n.refused == 1 ? " line" : " lines") + " refused");
    if (parser.isSet(dryRunOption)) {
        std::printf("dry run: nothing written\n");
        return 0;
    }
    db.executeBatches(import.writes());
    return 0;
}

int exportFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the EMPLOYEE table as a UTF-8 CSV file with the header EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID "
                       "and, once the site keeps departments, DEPARTMENT (standard output by default). A cell that a spreadsheet would run as a formula (one that "
                       "starts with apostrophes, or none, followed by = + - @, a tab or a carriage return) gets one "
                       "more leading apostrophe; import takes it off again."));
    const QCommandLineOption rawOption(QStringLiteral("raw"), QStringLiteral("The texts as stored, with no apostrophe added: for programs, not for spreadsheets, which may run such a cell as a formula."));
    parser.addOptions({connectionsOption(), rawOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Where to write (default: standard output)."), QStringLiteral("[FILE]"));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() > 1)
        throw std::runtime_error("employees export takes at most one FILE");

    const Site site(parser);
    RawFirebird db = site.attach();
    const csv::Formulas formulas = parser.isSet(rawOption) ? csv::Formulas::AsStored : csv::Formulas::Guarded;
    // A site that keeps no department sees the file it always had.
    const bool departments = tableExists(db, departmentTable) && exists(db, "SELECT FIRST 1 1 FROM EMPLOYEE_DEPARTMENT");
    QStringList header = columns;
    std::string sql = "SELECT e.EMPLOYEE_ID, e.EMPLOYEE_NAME, e.CARD_ID";
    if (departments) {
        header.append(departmentColumn);
        sql += ", d.DEPARTMENT FROM EMPLOYEE e LEFT JOIN EMPLOYEE_DEPARTMENT d ON d.EMPLOYEE_ID = e.EMPLOYEE_ID";
    } else {
        sql += " FROM EMPLOYEE e";
    }
    QString text = csv::line(header, formulas);
    for (const auto& row : db.query(sql + " ORDER BY e.EMPLOYEE_ID")) {
        QStringList fields;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const QByteArray bytes = bytesOf(row[i]);
            const auto decoded = site.codec().decodeExactly(bytes);
            if (!decoded) {
                const QByteArray id = bytesOf(row[0]);
                throw std::runtime_error(QStringLiteral("EMPLOYEE_ID '%1': %2 holds bytes that are no %3 text; correct "
                                                        "it with employees import")
                                             .arg(site.codec().decode(id),
                                                  header[static_cast<int>(i)], site.codec().encodingName())
                                             .toStdString());
            }
            fields.append(*decoded);
        }
        text += csv::line(fields, formulas);
    }
    csv::write(parser.positionalArguments().value(0), text.toUtf8());
    return 0;
}

} // namespace

int employees(const QStringList& arguments)
{
    return dispatch(arguments, "import FILE [--encoding utf-8|big5] [--dry-run] [--raw] | export [FILE] [--raw]",
                    {{"import", importFile}, {"export", exportFile}});
}

} // namespace kordane::admin
