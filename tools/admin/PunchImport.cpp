#include "tools/admin/PunchImport.h"

#include "attendance/CardHolders.h"
#include "attendance/Catalogue.h"
#include "data/Exceptions.h"
#include "data/sql/SqlParams.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteSchedules.h"
#include "tools/rawfb/RawPrepared.h"

#include <QFileInfo>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>

namespace kordane::admin {
namespace {

using attendance::Direction;
using attendance::Moment;
using Value = RawFirebird::Value;

constexpr int cardWidth = 40;
constexpr int terminalWidth = 20;

QByteArray bytesOf(const Value& value)
{
    return value ? QByteArray::fromStdString(*value) : QByteArray();
}

// A timestamp column as text: YYYY-MM-DD HH:MM:SS with a fraction after it.
std::string stamp(const char* column)
{
    return std::string("CAST(") + column + " AS VARCHAR(24))";
}

// What stamp() reads.
Moment storedMoment(const Value& value)
{
    const QByteArray text = bytesOf(value);
    const QDate date(text.mid(0, 4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
    return attendance::momentOf(date, (text.mid(11, 2).toInt() * 60 + text.mid(14, 2).toInt()) * 60 + text.mid(17, 2).toInt());
}

std::string timestampText(Moment at)
{
    const QDate date = attendance::dateOf(at);
    const int s = attendance::secondOfDay(at);
    // By hand: a million punches each bind two.
    std::string text = "0000-00-00 00:00:00";
    const auto put = [&](std::size_t end, int value) {
        for (std::size_t i = end; value > 0; --i, value /= 10)
            text[i] = static_cast<char>('0' + value % 10);
    };
    put(3, date.year());
    put(6, date.month());
    put(9, date.day());
    put(12, s / 3600);
    put(15, s / 60 % 60);
    put(18, s % 60);
    return text;
}

struct Employee {
    QString code;
    QString name;
    QString card;
};

// A punch of the file that is taken, for the employee it was the punch of.
struct Taken {
    const FilePunch* punch;
    QByteArray card;
    QByteArray employee;
};

// A stored punch an employee's new ones are paired after.
struct Before {
    Moment at;
    QByteArray card;
    bool open; // a lone in
};

// The row of PUNCH a punch becomes.
struct PunchRow {
    const Taken* taken;
    char role;
    std::optional<Moment> paired;
};

// A record to write: a new one, or a lone in's off-duty time (Complete), or, for a lone in
// whose record a clerk has changed, nothing but the in's pairing (Nothing).
struct RecordWrite {
    enum Kind { Insert,
                Complete,
                Nothing };
    Kind kind = Insert;
    std::vector<Value> values; // the insert's, in its parameters' order
    // For a lone in's out: the in, the out and the out's row.
    QByteArray openCard;
    Moment openAt = 0;
    Moment outAt = 0;
    std::size_t outRow = 0;
};

using RecordKey = std::tuple<QByteArray, QByteArray, QByteArray>; // INI_DATE, EMPLOYEE_ID, TIME_IN

class Importer {
public:
    Importer(const Site& site, RawFirebird& db, const PunchImportOptions& options)
        : site_(site)
        , db_(db)
        , options_(options)
        , schedules_(db, site.codec())
    {
        for (const auto& row : db.query("SELECT EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE")) {
            const QByteArray code = bytesOf(row[0]);
            employees_[code] = {decoded(code), decoded(bytesOf(row[1])), decoded(bytesOf(row[2]))};
            if (!bytesOf(row[2]).isEmpty())
                holders_.addCurrent(bytesOf(row[2]), code);
        }
        for (const auto& row : db.query("SELECT CARD_ID, HELD_UNTIL, EMPLOYEE_ID FROM CARD_HOLDER"))
            holders_.addEarlier(bytesOf(row[0]), storedDate(row[1]), bytesOf(row[2]));
    }

    // Whose each punch is; the lines that cannot be taken.
    void take(const PunchLines& lines, PunchImport& result)
    {
        result.refused = lines.refused;
        for (const FilePunch& punch : lines.punches) {
            const QString why = check(punch);
            if (!why.isEmpty())
                result.refused.push_back({punch.line, why});
        }
        std::sort(result.refused.begin(), result.refused.end(), [](const LineRefusal& a, const LineRefusal& b) { return a.line < b.line; });
        result.read = static_cast<int>(lines.punches.size() + lines.refused.size());
    }

    // The punches not yet stored, and those that are.
    void sortOutNew(PunchImport& result)
    {
        if (taken_.empty())
            return;
        const auto [first, last] = std::minmax_element(taken_.begin(), taken_.end(), [](const Taken& a, const Taken& b) { return a.punch->at < b.punch->at; });
        // Sorted and searched rather than a set: a file brings a million punches.
        using Key = std::pair<QByteArray, Moment>;
        std::vector<Key> stored;
        RawTransaction tr(db_.handle(), true);
        RawPrepared existing(db_, tr, "SELECT CARD_ID, " + stamp("PUNCHED_AT") + " FROM PUNCH WHERE PUNCHED_AT BETWEEN ? AND ?");
        for (const auto& row : existing.rows({timestampText(first->punch->at), timestampText(last->punch->at)}))
            stored.emplace_back(bytesOf(row[0]), storedMoment(row[1]));
        tr.commit();
        std::sort(stored.begin(), stored.end());
        std::vector<const Taken*> order;
        order.reserve(taken_.size());
        for (const Taken& t : taken_)
            order.push_back(&t);
        const auto sameKey = [](const Taken* a, const Taken* b) { return a->card == b->card && a->punch->at == b->punch->at; };
        // The first of a punch the file repeats is the one taken.
        std::stable_sort(order.begin(), order.end(), [](const Taken* a, const Taken* b) {
            return std::tie(a->card, a->punch->at) < std::tie(b->card, b->punch->at);
        });
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Taken* t = order[i];
            if ((i > 0 && sameKey(order[i - 1], t)) || std::binary_search(stored.begin(), stored.end(), Key {t->card, t->punch->at}))
                ++result.already;
            else
                fresh_.push_back(t);
        }
        result.fresh = static_cast<int>(fresh_.size());
    }

    // Each employee's new punches paired after the stored ones before them.
    void pair(PunchImport& result)
    {
        if (fresh_.empty())
            return;
        std::map<QByteArray, std::vector<const Taken*>> byEmployee;
        for (const Taken* t : fresh_)
            byEmployee[t->employee].push_back(t);
        const std::map<QByteArray, std::vector<Before>> before = storedBefore();
        for (const auto& [code, punches] : byEmployee) {
            std::vector<attendance::TimedPunch> timed;
            for (const Taken* t : punches)
                timed.push_back({t->punch->at, t->punch->direction});
            const Moment firstNew = std::min_element(timed.begin(), timed.end(), [](const auto& a, const auto& b) { return a.at < b.at; })->at;
            attendance::StoredState state;
            const Before* last = lastBefore(before, code, firstNew);
            if (last) {
                state.lastPunch = last->at;
                if (last->open)
                    state.openIn = last->at;
            }
            const attendance::Pairing pairing = attendance::pairPunches(timed, state, options_.rules);
            const Employee& employee = employees_.at(code);
            for (const attendance::PairedSpell& spell : pairing.spells) {
                const Taken* out = spell.out ? punches[*spell.out] : nullptr;
                if (!spell.in) {
                    complete(employee, *last, *out);
                    continue;
                }
                const Taken* in = punches[*spell.in];
                rows_.push_back({in, 'I', out ? std::optional(out->punch->at) : std::nullopt});
                if (out)
                    rows_.push_back({out, 'O', in->punch->at});
                records_.push_back(recordOf(employee, in->punch->at, out ? std::optional(out->punch->at) : std::nullopt));
            }
            for (const std::size_t i : pairing.repeats)
                rows_.push_back({punches[i], 'R', std::nullopt});
            for (const std::size_t i : pairing.loneOuts)
                rows_.push_back({punches[i], 'U', std::nullopt});
            result.loneOuts += static_cast<int>(pairing.loneOuts.size());
        }
        leaveAloneWhatClerksChanged(result);
    }

    void write(const QString& path)
    {
        const std::string file = QFileInfo(path).fileName().toUtf8().left(255).toStdString();
        RawTransaction tr(db_.handle());
        RawPrepared punch(db_, tr, "INSERT INTO PUNCH (CARD_ID, PUNCHED_AT, TERMINAL, DIRECTION, EMPLOYEE_ID, ROLE,"
                                   " PAIRED_AT, SOURCE_FILE, SOURCE_LINE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const PunchRow& row : rows_) {
            const FilePunch& p = *row.taken->punch;
            const Direction way = p.direction;
            punch.execute({row.taken->card.toStdString(), timestampText(p.at),
                           p.terminal.isEmpty() ? Value() : Value(site_.codec().encode(p.terminal).toStdString()),
                           way == Direction::Unknown ? Value() : Value(way == Direction::In ? "I" : "O"),
                           row.taken->employee.toStdString(), std::string(1, row.role),
                           row.paired ? Value(timestampText(*row.paired)) : Value(), file, std::to_string(p.line)});
        }
        // Prepared once, and only when there is something for them to do.
        std::optional<RawPrepared> insert, complete, pairIn;
        for (const RecordWrite& record : records_) {
            if (record.kind == RecordWrite::Insert) {
                if (!insert)
                    insert.emplace(db_, tr, insertStatement());
                insert->execute(record.values);
                continue;
            }
            if (record.kind == RecordWrite::Nothing)
                continue;
            if (!complete)
                complete.emplace(db_, tr, "UPDATE POS_DAY SET TIME_OUT = ? WHERE INI_DATE = ? AND EMPLOYEE_ID = ? AND TIME_IN = ? AND TIME_OUT = ''");
            complete->execute({record.values[3], record.values[0], record.values[1], record.values[2]});
        }
        for (const RecordWrite& record : records_) {
            if (record.kind == RecordWrite::Insert)
                continue;
            if (!pairIn)
                pairIn.emplace(db_, tr, "UPDATE PUNCH SET PAIRED_AT = ? WHERE CARD_ID = ? AND PUNCHED_AT = ?");
            pairIn->execute({timestampText(record.outAt), record.openCard.toStdString(), timestampText(record.openAt)});
        }
        tr.commit();
    }

private:
    QString decoded(const QByteArray& bytes) const { return site_.codec().decode(bytes); }

    // Why the punch cannot be taken; empty when it is, with its employee.
    QString check(const FilePunch& punch)
    {
        QByteArray card;
        QByteArray code;
        try {
            card = site_.codec().encode(punch.card);
            code = site_.codec().encode(punch.employee);
            if (site_.codec().encode(punch.terminal).size() > terminalWidth)
                return QStringLiteral("the terminal '%1' is longer than %2 bytes").arg(punch.terminal).arg(terminalWidth);
        } catch (const EDatabaseError& e) {
            return e.message();
        }
        if (card.size() > cardWidth)
            return QStringLiteral("the card number '%1' is longer than %2 bytes").arg(punch.card).arg(cardWidth);
        if (card.isEmpty()) {
            const auto employee = employees_.find(code);
            if (employee == employees_.end())
                return QStringLiteral("EMPLOYEE has no employee %1").arg(punch.employee);
            if (employee->second.card.isEmpty())
                return QStringLiteral("the employee %1 has no card number in EMPLOYEE").arg(punch.employee);
            taken_.push_back({&punch, site_.codec().encode(employee->second.card), code});
            return {};
        }
        const auto holder = holders_.holder(card, attendance::dateOf(punch.at));
        if (const QString* why = std::get_if<QString>(&holder))
            return *why;
        const QByteArray& held = std::get<QByteArray>(holder);
        if (!code.isEmpty() && code != held)
            return QStringLiteral("the card %1 is the employee %2's, not %3's").arg(punch.card, decoded(held), punch.employee);
        if (!employees_.count(held))
            return QStringLiteral("the card %1 was held by %2, whom EMPLOYEE does not hold").arg(punch.card, decoded(held));
        taken_.push_back({&punch, card, held});
        return {};
    }

    // The stored punches that may come before the new ones: an in left open no longer
    // than a spell lasts, or a punch repeated.
    std::map<QByteArray, std::vector<Before>> storedBefore()
    {
        const auto [first, last] = std::minmax_element(fresh_.begin(), fresh_.end(), [](const Taken* a, const Taken* b) { return a->punch->at < b->punch->at; });
        const Moment from = (*first)->punch->at - Moment {options_.rules.longestSpellHours} * 3600;
        std::map<QByteArray, std::vector<Before>> before;
        RawTransaction tr(db_.handle(), true);
        RawPrepared stored(db_, tr, "SELECT EMPLOYEE_ID, " + stamp("PUNCHED_AT") + ", CARD_ID, ROLE, PAIRED_AT FROM PUNCH"
                                                                                   " WHERE PUNCHED_AT BETWEEN ? AND ? AND ROLE <> 'R'");
        for (const auto& row : stored.rows({timestampText(from), timestampText((*last)->punch->at)}))
            before[bytesOf(row[0])].push_back({storedMoment(row[1]), bytesOf(row[2]), bytesOf(row[3]) == "I" && !row[4]});
        tr.commit();
        return before;
    }

    static const Before* lastBefore(const std::map<QByteArray, std::vector<Before>>& before, const QByteArray& code, Moment firstNew)
    {
        const auto it = before.find(code);
        if (it == before.end())
            return nullptr;
        const Before* last = nullptr;
        for (const Before& b : it->second) {
            if (b.at < firstNew && (!last || b.at > last->at))
                last = &b;
        }
        return last;
    }

    RecordWrite recordOf(const Employee& employee, Moment in, std::optional<Moment> out) const
    {
        // Without a schedule at all, no plan need be asked for: the day the spell started.
        const QDate day = schedules_.empty() ? attendance::dateOf(in)
                                             : attendance::spellDay(in, [&](const QDate& d) { return schedules_.planOn(employee.code, d); });
        const AttendanceRecord r = attendance::spellRecord(day, in, out, employee.code, employee.name, employee.card);
        RecordWrite write;
        for (const QString* text : {&r.date, &r.employeeCode, &r.timeIn, &r.timeOut, &r.card, &r.name, &r.weekday})
            write.values.emplace_back(site_.codec().encode(*text).toStdString());
        return write;
    }

    void complete(const Employee& employee, const Before& open, const Taken& out)
    {
        RecordWrite write = recordOf(employee, open.at, out.punch->at);
        write.kind = RecordWrite::Complete;
        write.openCard = open.card;
        write.openAt = open.at;
        write.outAt = out.punch->at;
        write.outRow = rows_.size();
        records_.push_back(std::move(write));
        rows_.push_back({&out, 'O', open.at});
    }

    // A lone in is completed only while its record stands as the import wrote it, alone
    // with its date and on-duty time; a new record only where the same is not stored.
    void leaveAloneWhatClerksChanged(PunchImport& result)
    {
        if (records_.empty())
            return;
        const auto [first, last] = std::minmax_element(records_.begin(), records_.end(), [](const RecordWrite& a, const RecordWrite& b) { return *a.values[0] < *b.values[0]; });
        std::map<RecordKey, std::vector<QByteArray>> stored; // the off-duty times
        RawTransaction tr(db_.handle(), true);
        RawPrepared records(db_, tr, "SELECT INI_DATE, EMPLOYEE_ID, TIME_IN, TIME_OUT FROM POS_DAY WHERE INI_DATE BETWEEN ? AND ?");
        for (const auto& row : records.rows({first->values[0], last->values[0]}))
            stored[{bytesOf(row[0]), bytesOf(row[1]), bytesOf(row[2])}].push_back(bytesOf(row[3]));
        tr.commit();
        std::vector<RecordWrite> kept;
        kept.reserve(records_.size());
        for (RecordWrite& write : records_) {
            const bool completes = write.kind == RecordWrite::Complete;
            // Records of one import never share their date, code and on-duty time: only
            // those stored may stand in the way.
            if (stored.empty() && !completes) {
                ++result.added;
                kept.push_back(std::move(write));
                continue;
            }
            const RecordKey key {QByteArray::fromStdString(*write.values[0]), QByteArray::fromStdString(*write.values[1]),
                                 QByteArray::fromStdString(*write.values[2])};
            const auto there = stored.find(key);
            const QByteArray out = QByteArray::fromStdString(*write.values[3]);
            QString why;
            if (completes && (there == stored.end() || there->second != std::vector<QByteArray> {QByteArray()}))
                why = QStringLiteral("its record was changed by a clerk since it was imported, and is left as it is");
            else if (!completes && there != stored.end() && std::find(there->second.begin(), there->second.end(), out) != there->second.end())
                why = QStringLiteral("POS_DAY holds this record already");
            if (why.isEmpty()) {
                ++(completes ? result.completed : result.added);
                kept.push_back(std::move(write));
                continue;
            }
            ++result.leftAlone;
            result.notes << QStringLiteral("left alone: %1 %2 %3-%4: %5")
                                .arg(decoded(std::get<1>(key)), decoded(std::get<0>(key)), decoded(std::get<2>(key)), decoded(out), why);
            if (completes) {
                // The out stays for the clerk; the in is open no more.
                rows_[write.outRow].role = 'C';
                write.kind = RecordWrite::Nothing;
                kept.push_back(std::move(write));
            }
        }
        records_ = std::move(kept);
    }

    static std::string insertStatement()
    {
        const QString text = catalogue::joinLines(catalogue::insertRecord());
        return sqlparams::driverText(text, catalogue::insertParamNames(), u"\"").toStdString();
    }

    const Site& site_;
    RawFirebird& db_;
    const PunchImportOptions& options_;
    const SiteSchedules schedules_;
    std::map<QByteArray, Employee> employees_;
    attendance::CardHolders holders_;
    std::vector<Taken> taken_;
    std::vector<const Taken*> fresh_;
    std::vector<PunchRow> rows_;
    std::vector<RecordWrite> records_;
};

} // namespace

QString PunchImport::summary() const
{
    return QStringLiteral("punches read %1, new %2, already imported %3, records added %4, completed %5, left alone %6, refused %7")
        .arg(read)
        .arg(fresh)
        .arg(already)
        .arg(added)
        .arg(completed)
        .arg(leftAlone)
        .arg(refused.size());
}

PunchImport importPunches(const Site& site, RawFirebird& db, const QString& path, const PunchImportOptions& options,
                          const QDateTime& now)
{
    const PunchLines lines = readPunchFile(path, options.format, now);
    PunchImport result;
    Importer importer(site, db, options);
    importer.take(lines, result);
    if (!result.refused.empty())
        return result;
    importer.sortOutNew(result);
    importer.pair(result);
    if (options.dryRun)
        return result;
    importer.write(path);
    result.written = true;
    return result;
}

} // namespace kordane::admin
