#include "attendance/CardHolders.h"

namespace kordane::attendance {

void CardHolders::addCurrent(const QByteArray& card, const QByteArray& employee)
{
    current_[card].push_back(employee);
}

void CardHolders::addEarlier(const QByteArray& card, const QDate& until, const QByteArray& employee)
{
    earlier_[card][until] = employee;
}

std::variant<QByteArray, QString> CardHolders::holder(const QByteArray& card, const QDate& date) const
{
    if (const auto moves = earlier_.find(card); moves != earlier_.end()) {
        const auto held = moves->second.upper_bound(date);
        if (held != moves->second.end())
            return held->second;
    }
    const auto now = current_.find(card);
    if (now == current_.end())
        return QStringLiteral("no employee has the card %1").arg(QString::fromLatin1(card));
    if (now->second.size() > 1) {
        QStringList codes;
        for (const QByteArray& code : now->second)
            codes << QString::fromLatin1(code);
        return QStringLiteral("the card %1 is held by %2 employees (%3)").arg(QString::fromLatin1(card)).arg(codes.size()).arg(codes.join(QStringLiteral(", ")));
    }
    return now->second.front();
}

} // namespace kordane::attendance
