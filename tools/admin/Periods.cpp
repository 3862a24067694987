// period close / reopen / status: pay periods the database keeps closed. A period is named
// by the month it ends in; the PAY_PERIOD_FIRST_DAY setting says the day it starts (1: the
// calendar month; 26: the 26th of the month before to the 25th).
#include "attendance/PayRules.h"
#include "attendance/PaySettings.h"
#include "tools/admin/Admin.h"
#include "tools/admin/Catalog.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cstdio>
#include <optional>
#include <stdexcept>

namespace kordane::admin {
namespace {

// Seconds a close waits for the desks' writes in flight.
const int closeWait = 60;

struct Period {
    QDate first;
    QDate last;
};

QString periodText(const Period& p)
{
    return dateText(p.first) + QStringLiteral(" to ") + dateText(p.last);
}

// The month YYYY/MM a period ends in: its first day.
QDate endMonth(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^([0-9]{4})/([0-9]{1,2})$"));
    const QRegularExpressionMatch parts = shape.match(text);
    const QDate month = parts.hasMatch() ? QDate(parts.captured(1).toInt(), parts.captured(2).toInt(), 1) : QDate();
    if (!month.isValid() || month.year() < 2)
        throw UsageError("a pay period is named by the month it ends in, YYYY/MM, not " + text.toStdString());
    return month;
}

int firstDaySetting(RawFirebird& db)
{
    const auto rows = db.query("SELECT SETTING_VALUE FROM SITE_SETTING WHERE SETTING_NAME = 'PAY_PERIOD_FIRST_DAY'");
    const QString value = rows.empty() ? QStringLiteral("1") : QString::fromStdString(rows[0][0].value_or("1"));
    if (attendance::paySettingProblem(QStringLiteral("PAY_PERIOD_FIRST_DAY"), value))
        throw std::runtime_error("the setting PAY_PERIOD_FIRST_DAY is " + value.toStdString() + ", no day of the month from 1 to 28 (setting set corrects it)");
    return value.toInt();
}

// The period ending in `month` as the site's setting makes it, as the reports make it.
Period periodEnding(const QDate& month, int firstDay)
{
    const attendance::PayPeriod period = attendance::payPeriodEnding(month.year(), month.month(), firstDay);
    return {period.first, period.last};
}

struct Closed {
    Period period;
    QString by;
    QString at;
};

std::vector<Closed> closedPeriods(RawFirebird& db, const TextCodec& codec)
{
    std::vector<Closed> closed;
    for (const auto& row : db.query("SELECT PERIOD_FIRST, PERIOD_LAST, CLOSED_BY, SUBSTRING(CAST(CLOSED_AT AS VARCHAR(24)) FROM 1 FOR 19)"
                                    " FROM PAY_PERIOD_CLOSED ORDER BY PERIOD_FIRST"))
        closed.push_back({{storedDate(row[0]), storedDate(row[1])}, decoded(codec, row[2]), decoded(codec, row[3])});
    return closed;
}

// The closed period that ends in `month`, whatever the setting was when it was closed.
std::optional<Closed> closedEndingIn(const std::vector<Closed>& closed, const QDate& month)
{
    for (const Closed& c : closed) {
        if (c.period.last.year() == month.year() && c.period.last.month() == month.month())
            return c;
    }
    return std::nullopt;
}

struct Command {
    Site site;
    RawFirebird db;
    QString name;
    QDate month;
};

std::optional<Command> command(const QStringList& arguments, const QString& description, bool optional)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("PERIOD"), QStringLiteral("The month the period ends in, YYYY/MM."), optional ? QStringLiteral("[PERIOD]") : QString());
    if (!parseCommand(parser, arguments))
        return std::nullopt;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (!optional && positional.isEmpty()))
        throw UsageError(arguments.value(0).section(u' ', 1).toStdString() + (optional ? " takes a PERIOD or none" : " takes one PERIOD (YYYY/MM)"));
    const QDate month = positional.isEmpty() ? QDate() : endMonth(positional[0]);
    Site site(parser);
    RawFirebird db = site.attach();
    if (!tableExists(db, "PAY_PERIOD_CLOSED"))
        throw std::runtime_error("the database keeps no closed periods yet (kordane-admin upgrade adds their tables)");
    return Command {std::move(site), std::move(db), positional.value(0), month};
}

int close(const QStringList& arguments)
{
    auto c = command(arguments, QStringLiteral("Closes the pay period that ends in the month PERIOD: from then on the database refuses "
                                               "every program, the window included, an added, changed or removed record dated in it. "
                                               "Written to PAY_PERIOD_AUDIT with who and when."),
                     false);
    if (!c)
        return 0;
    const Period p = periodEnding(c->month, firstDaySetting(c->db));
    for (const Closed& closed : closedPeriods(c->db, c->site.codec())) {
        if (closed.period.first <= p.last && closed.period.last >= p.first) {
            const bool same = closed.period.first == p.first && closed.period.last == p.last;
            throw std::runtime_error(QStringLiteral("%1 (%2) %3 (closed by %4 at %5)")
                                         .arg(c->name, periodText(p), same ? QStringLiteral("is closed already") : QStringLiteral("overlaps the closed period ") + periodText(closed.period), closed.by, closed.at)
                                         .toStdString());
        }
    }
    // POS_DAY reserved: the close waits for the writes in flight, whose trigger looked before
    // the period was closed, and holds new ones back until their trigger sees it closed.
    try {
        c->db.executeReserving("POS_DAY", closeWait, {{"INSERT INTO PAY_PERIOD_CLOSED (PERIOD_FIRST, PERIOD_LAST, CLOSED_BY, CLOSED_AT) VALUES (?, ?, CURRENT_USER, CURRENT_TIMESTAMP)", {{serverDate(p.first), serverDate(p.last)}}}});
    } catch (const std::exception& e) {
        throw std::runtime_error(QStringLiteral("%1 not closed: desks were writing records for %2 seconds: %3").arg(c->name).arg(closeWait).arg(QString::fromUtf8(e.what())).toStdString());
    }
    std::printf("closed %s: %s\n", qPrintable(c->name), qPrintable(periodText(p)));
    return 0;
}

int reopen(const QStringList& arguments)
{
    auto c = command(arguments, QStringLiteral("Reopens the closed pay period that ends in the month PERIOD, so that its records "
                                               "may be changed again. Written to PAY_PERIOD_AUDIT with who and when."),
                     false);
    if (!c)
        return 0;
    const auto closed = closedEndingIn(closedPeriods(c->db, c->site.codec()), c->month);
    if (!closed)
        throw std::runtime_error("no closed pay period ends in " + c->name.toStdString());
    c->db.executePrepared("DELETE FROM PAY_PERIOD_CLOSED WHERE PERIOD_FIRST = ?", {serverDate(closed->period.first)});
    std::printf("reopened %s: %s\n", qPrintable(c->name), qPrintable(periodText(closed->period)));
    return 0;
}

int status(const QStringList& arguments)
{
    auto c = command(arguments, QStringLiteral("Says whether the pay period that ends in the month PERIOD is closed, and each close and "
                                               "reopen of it; without PERIOD, lists the closed periods."),
                     true);
    if (!c)
        return 0;
    const std::vector<Closed> closed = closedPeriods(c->db, c->site.codec());
    if (c->name.isEmpty()) {
        for (const Closed& one : closed)
            std::printf("%s: closed by %s at %s\n", qPrintable(periodText(one.period)), qPrintable(one.by), qPrintable(one.at));
        if (closed.empty())
            std::printf("no pay period is closed\n");
        return 0;
    }
    const auto found = closedEndingIn(closed, c->month);
    const Period p = found ? found->period : periodEnding(c->month, firstDaySetting(c->db));
    if (found)
        std::printf("%s (%s): closed by %s at %s\n", qPrintable(c->name), qPrintable(periodText(p)), qPrintable(found->by), qPrintable(found->at));
    else
        std::printf("%s (%s): open\n", qPrintable(c->name), qPrintable(periodText(p)));
    for (const auto& row : c->db.query("SELECT SUBSTRING(CAST(CHANGED_AT AS VARCHAR(24)) FROM 1 FOR 19), TRIM(ACTION), USER_NAME, PERIOD_FIRST, PERIOD_LAST"
                                       " FROM PAY_PERIOD_AUDIT ORDER BY AUDIT_ID")) {
        const Period entry {storedDate(row[3]), storedDate(row[4])};
        if (entry.first <= p.last && entry.last >= p.first)
            std::printf("  %s %s %s by %s\n", qPrintable(decoded(c->site.codec(), row[0])), qPrintable(decoded(c->site.codec(), row[1]).toLower()),
                        qPrintable(periodText(entry)), qPrintable(decoded(c->site.codec(), row[2])));
    }
    return 0;
}

} // namespace

int period(const QStringList& arguments)
{
    return dispatch(arguments, "close PERIOD | reopen PERIOD | status [PERIOD]  (PERIOD: the month it ends in, YYYY/MM)",
                    {{"close", close}, {"reopen", reopen}, {"status", status}});
}

} // namespace kordane::admin
