#include "attendance/DateConversion.h"

#include "data/Exceptions.h"

#include <optional>

namespace kordane {

namespace {

enum class Order { DayMonthYear,
                   YearMonthDay,
                   MonthDayYear };

Order dateOrder(const QString& shortDateFormat)
{
    for (const QChar c : shortDateFormat) {
        switch (c.toUpper().unicode()) {
        case 'D':
            return Order::DayMonthYear;
        case 'Y':
        case 'E':
            return Order::YearMonthDay;
        case 'M':
            return Order::MonthDayYear;
        default:
            break;
        }
    }
    return Order::MonthDayYear;
}

class Scanner {
public:
    explicit Scanner(const QString& text)
        : text_(text)
    {
    }

    void skipBlanks()
    {
        while (pos_ < text_.size() && text_[pos_] == QLatin1Char(' '))
            ++pos_;
    }

    // Stops at a non-digit, or once the value has reached 1000, so no value exceeds 9999.
    std::optional<int> number()
    {
        skipBlanks();
        const qsizetype start = pos_;
        int value = 0;
        while (pos_ < text_.size() && value < 1000 && text_[pos_] >= QLatin1Char('0') && text_[pos_] <= QLatin1Char('9'))
            value = value * 10 + (text_[pos_++].unicode() - '0');
        if (pos_ == start)
            return std::nullopt;
        return value;
    }

    bool separator(QChar sep)
    {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == sep) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool atEnd() const { return pos_ == text_.size(); }

private:
    const QString& text_;
    qsizetype pos_ = 0;
};

} // namespace

QDate strToDate(const QString& text, const RegionalSettings& settings)
{
    const auto invalid = [&text] { return EConvertError(QLatin1Char('\'') + text + QStringLiteral("' is not a valid date")); };
    Scanner scan(text);
    const QChar sep = settings.dateSeparator;
    const std::optional<int> n1 = scan.number();
    const bool sep1 = n1 && scan.separator(sep);
    const std::optional<int> n2 = sep1 ? scan.number() : std::nullopt;
    const bool sep2 = n2 && scan.separator(sep);
    const std::optional<int> n3 = sep2 ? scan.number() : std::nullopt;
    if (n3) {
        scan.separator(sep);
        scan.skipBlanks();
    }
    if (!n3 || !scan.atEnd())
        throw invalid();

    int year = *n3, month = *n1, day = *n2;
    switch (dateOrder(settings.shortDateFormat)) {
    case Order::DayMonthYear:
        day = *n1, month = *n2, year = *n3;
        break;
    case Order::YearMonthDay:
        year = *n1, month = *n2, day = *n3;
        break;
    case Order::MonthDayYear:
        break;
    }
    const QDate date(year, month, day);
    if (year < 1 || !date.isValid())
        throw invalid();
    return date;
}

int dayOfWeek(const QDate& date)
{
    return date.isValid() ? date.dayOfWeek() % 7 + 1 : 0;
}

QString weekdayCharacter(int day)
{
    static const char16_t* const names[] = {u"日", u"一", u"二", u"三", u"四", u"五", u"六"};
    return day >= 1 && day <= 7 ? QString::fromUtf16(names[day - 1]) : QString();
}

QString weekdayOf(const QString& dateText)
{
    return weekdayCharacter(dayOfWeek(strToDate(dateText, RegionalSettings::current())));
}

} // namespace kordane
