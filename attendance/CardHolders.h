#pragma once
// Whose a card was on a date. EMPLOYEE names each card's holder now; a card that has
// moved from one employee to another keeps its earlier holders, each until the date it
// moved on, so that punches of before the move stay the earlier holder's.
#include <QByteArray>
#include <QDate>
#include <QString>

#include <map>
#include <variant>
#include <vector>

namespace kordane::attendance {

class CardHolders {
public:
    // Texts are the bytes the tables hold.
    void addCurrent(const QByteArray& card, const QByteArray& employee);
    // `employee` held `card` up to the day before `until`.
    void addEarlier(const QByteArray& card, const QDate& until, const QByteArray& employee);

    // The employee's code, or why the card has no one holder on that date.
    std::variant<QByteArray, QString> holder(const QByteArray& card, const QDate& date) const;

private:
    std::map<QByteArray, std::vector<QByteArray>> current_;
    std::map<QByteArray, std::map<QDate, QByteArray>> earlier_; // until -> holder
};

} // namespace kordane::attendance
