#include "attendance/PaySettings.h"

#include <QTime>

namespace kordane::attendance {

const std::vector<PaySetting>& paySettings()
{
    static const std::vector<PaySetting> settings = {
        {"PAY_PERIOD_FIRST_DAY", "1", "the day of the month a pay period starts (1 to 28; 1 is the calendar month)"},
        {"DAILY_NORM_MINUTES", "480", "paid minutes a day beyond which time is overtime"},
        {"WEEKLY_NORM_MINUTES", "2400", "paid minutes a week (Monday to Sunday) beyond which time is overtime"},
        {"NIGHT_START", "22:00", "when night hours start (HH:MM)"},
        {"NIGHT_END", "06:00", "when night hours end (HH:MM)"},
    };
    return settings;
}

namespace {

std::optional<QString> wholeNumber(const QString& value, int low, int high)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (ok && n >= low && n <= high)
        return std::nullopt;
    return QStringLiteral("must be a whole number from %1 to %2").arg(low).arg(high);
}

} // namespace

std::optional<QString> paySettingProblem(const QString& name, const QString& value)
{
    if (name == QLatin1String("PAY_PERIOD_FIRST_DAY"))
        return wholeNumber(value, 1, 28);
    if (name == QLatin1String("DAILY_NORM_MINUTES"))
        return wholeNumber(value, 1, 1440);
    if (name == QLatin1String("WEEKLY_NORM_MINUTES"))
        return wholeNumber(value, 1, 7 * 1440);
    if (name == QLatin1String("NIGHT_START") || name == QLatin1String("NIGHT_END")) {
        if (value.size() == 5 && QTime::fromString(value, QStringLiteral("HH:mm")).isValid())
            return std::nullopt;
        return QStringLiteral("must be a time of day as HH:MM");
    }
    return QStringLiteral("is not a setting (the settings are listed by setting list)");
}

} // namespace kordane::attendance
