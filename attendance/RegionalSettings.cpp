#include "attendance/RegionalSettings.h"

namespace kordane {

RegionalSettings& RegionalSettings::current()
{
    static RegionalSettings settings;
    return settings;
}

ScopedRegionalSettings::ScopedRegionalSettings(const RegionalSettings& settings)
    : saved_(RegionalSettings::current())
{
    RegionalSettings::current() = settings;
}

ScopedRegionalSettings::~ScopedRegionalSettings()
{
    RegionalSettings::current() = saved_;
}

namespace {

QString digits(int value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

} // namespace

QString formatDate(const QDate& date, const RegionalSettings& settings)
{
    return digits(date.year(), 4) + settings.dateSeparator + digits(date.month(), 2) + settings.dateSeparator
        + digits(date.day(), 2);
}

QString formatTime(int secondOfDay, const RegionalSettings& settings)
{
    return digits(secondOfDay / 3600, 2) + settings.timeSeparator + digits(secondOfDay / 60 % 60, 2)
        + settings.timeSeparator + digits(secondOfDay % 60, 2);
}

} // namespace kordane
