#pragma once
// Spells of duty and what makes a record need a look. Times and dates stay the texts the
// window stored; a text counts only when it is complete and real.
#include "tools/report/Records.h"

#include <QDate>
#include <QString>

#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kordane::report {

// Seconds after midnight of a complete, real time text (HH:MM:SS).
std::optional<int> timeSeconds(const QString& text);
// The date of a complete, real date text (YYYY/MM/DD).
QDate exactDate(const QString& text);
// No figure at all: the off-duty time was never keyed in (empty, or the mask's blanks).
bool noTime(const QString& text);

// A closed spell; an off-duty time before the on-duty time ends the next day.
struct Spell {
    int start = 0;
    int seconds = 0;
    bool nextDay = false;
};
std::optional<Spell> spellOf(const Record& record);

// A length as H:MM (minutes cut, not rounded, so that the parts never add up to more).
QString lengthText(int seconds);

enum class Reason {
    NoTimeOut,
    OutBeforeIn,
    Overlap,
    Identical,
    UnknownEmployee,
    NameDiffers,
    CardDiffers,
    BadDate,
    BadTimeIn,
    BadTimeOut,
    WrongWeekday,
};
QString reasonText(Reason reason);

// The reasons a record needs a look: each at most once, in the order of the list above.
class Reasons {
public:
    void add(Reason reason) { bits_ = static_cast<std::uint16_t>(bits_ | bit(reason)); }
    void remove(Reason reason) { bits_ = static_cast<std::uint16_t>(bits_ & ~bit(reason)); }
    bool contains(Reason reason) const { return (bits_ & bit(reason)) != 0; }
    bool empty() const { return bits_ == 0; }
    std::size_t size() const { return static_cast<std::size_t>(std::popcount(bits_)); }
    template<class Each>
    void forEach(Each each) const
    {
        for (unsigned bits = bits_; bits != 0; bits &= bits - 1)
            each(static_cast<Reason>(std::countr_zero(bits)));
    }

private:
    static unsigned bit(Reason reason) { return 1U << static_cast<unsigned>(reason); }
    std::uint16_t bits_ = 0;
};

// Where on the line of time of its date `day` a record's spell lies that was keyed to
// start at the time of day `start`.
using PlaceSpell = std::function<int(const Record& record, const QDate& day, int start)>;

// For each record, in order, the reasons it needs a look. The spells of one employee are
// compared where the month places them (and `placeSpell`, when given, on their days), with
// each other and with the neighbours' (which get no reasons of their own), whatever their
// order.
std::vector<Reasons> findAnomalies(const std::vector<Record>& records, const std::vector<Record>& neighbours,
                                   const Employees& employees, const PlaceSpell& placeSpell);

} // namespace kordane::report
