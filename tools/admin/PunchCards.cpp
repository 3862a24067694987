#include "tools/admin/PunchCards.h"

#include "tools/admin/Admin.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"
#include "tools/rawfb/RawPrepared.h"

#include <QCommandLineParser>

#include <cstdio>
#include <stdexcept>

namespace kordane::admin {
namespace {

using Value = RawFirebird::Value;

std::string text(const Value& value) { return value.value_or(std::string()); }

struct Moved {
    std::string previous; // the card's holder until the move; empty: no one
    std::string ownCard; // the employee's card until the move; empty: none
};

// One change of EMPLOYEE and CARD_HOLDER, checked against what they hold in the same
// transaction; two admins' moves of one card both change its holder's row, so one fails.
Moved moveCard(RawFirebird& db, const std::string& card, const std::string& employee, const QDate& from)
{
    RawTransaction tr(db.handle());
    const auto rows = [&](const std::string& sql, const std::vector<Value>& params) { return RawPrepared(db, tr, sql).rows(params); };
    const auto run = [&](const std::string& sql, const std::vector<Value>& params) { RawPrepared(db, tr, sql).execute(params); };
    const std::string since = serverDate(from);
    Moved moved;
    const auto own = rows("SELECT CARD_ID FROM EMPLOYEE WHERE EMPLOYEE_ID = ?", {employee});
    if (own.empty())
        throw std::runtime_error("EMPLOYEE has no employee " + employee);
    moved.ownCard = text(own.front()[0]);
    if (moved.ownCard == card)
        throw std::runtime_error("card " + card + " is " + employee + "'s already");
    const auto later = rows("SELECT CARD_ID, HELD_UNTIL FROM CARD_HOLDER WHERE CARD_ID IN (?, ?) AND HELD_UNTIL >= ?",
                            {card, moved.ownCard, since});
    if (!later.empty())
        throw std::runtime_error("card " + text(later.front()[0]) + " moved on " + text(later.front()[1])
                                 + " already: moves are recorded in date order");
    const auto holders = rows("SELECT EMPLOYEE_ID FROM EMPLOYEE WHERE CARD_ID = ?", {card});
    if (holders.size() > 1)
        throw std::runtime_error("card " + card + " is held by " + std::to_string(holders.size())
                                 + " employees in EMPLOYEE: give it one holder first (employees import)");
    const std::string keep = "INSERT INTO CARD_HOLDER (CARD_ID, HELD_UNTIL, EMPLOYEE_ID) VALUES (?, ?, ?)";
    if (!holders.empty()) {
        moved.previous = text(holders.front()[0]);
        run(keep, {card, since, moved.previous});
        run("UPDATE EMPLOYEE SET CARD_ID = NULL WHERE EMPLOYEE_ID = ?", {moved.previous});
    }
    if (!moved.ownCard.empty())
        run(keep, {moved.ownCard, since, employee});
    run("UPDATE EMPLOYEE SET CARD_ID = ? WHERE EMPLOYEE_ID = ?", {card, employee});
    tr.commit();
    return moved;
}

} // namespace

int cardCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Gives CARD to EMPLOYEE from the date D: the employee who held it until then keeps it for the "
                       "punches before D (in CARD_HOLDER) and keeps no card in EMPLOYEE; EMPLOYEE's own card until "
                       "then stays EMPLOYEE's for the punches before D. Moves of a card are recorded in date order."));
    const QCommandLineOption fromOption(QStringLiteral("from"), QStringLiteral("The first day the card is EMPLOYEE's (YYYY/MM/DD)."), QStringLiteral("D"));
    parser.addOptions({connectionsOption(), fromOption});
    parser.addPositionalArgument(QStringLiteral("CARD"), QStringLiteral("The card number."));
    parser.addPositionalArgument(QStringLiteral("EMPLOYEE"), QStringLiteral("The employee code it moves to."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 2 || !parser.isSet(fromOption))
        throw UsageError("punches card takes CARD EMPLOYEE --from YYYY/MM/DD (kordane-admin punches card --help)");
    const std::optional<QDate> from = dateOf(parser.value(fromOption));
    if (!from)
        throw UsageError("--from takes a real date YYYY/MM/DD, not " + parser.value(fromOption).toStdString());
    const Site site(parser);
    const auto bytes = [&](const QString& code) { return site.codec().encode(code).toStdString(); };
    const QString card = parser.positionalArguments()[0];
    const QString employee = parser.positionalArguments()[1];
    if (card.isEmpty() || employee.isEmpty())
        throw UsageError("punches card takes a card and an employee code, neither empty");
    // EMPLOYEE.CARD_ID's width, which the server would refuse with no name.
    if (bytes(card).size() > 20)
        throw UsageError("card " + card.toStdString() + " is longer than a card's 20 bytes");
    RawFirebird db = attachWithPart(site, "punches");
    const Moved moved = moveCard(db, bytes(card), bytes(employee), *from);
    const auto shown = [&](const std::string& b) { return site.codec().decode(b.data(), b.size()); };
    const QString since = dateText(*from);
    std::printf("card %s is %s's from %s", qPrintable(card), qPrintable(employee), qPrintable(since));
    if (!moved.previous.empty())
        std::printf("; %s's before", qPrintable(shown(moved.previous)));
    if (!moved.ownCard.empty())
        std::printf("; %s's card %s stays theirs before %s", qPrintable(employee), qPrintable(shown(moved.ownCard)), qPrintable(since));
    std::printf("\n");
    return 0;
}

} // namespace kordane::admin
