#pragma once
// The separators the masked fields show and the short date format the date conversion
// reads, fixed to the values the date texts of the database assume. One process-wide
// instance; tests may change it for a scope.
#include <QChar>
#include <QDate>
#include <QString>

namespace kordane {

struct RegionalSettings {
    QChar dateSeparator = QLatin1Char('/');
    QChar timeSeparator = QLatin1Char(':');
    QString shortDateFormat = QStringLiteral("yyyy/MM/dd");

    static RegionalSettings& current();
};

// Replaces the process-wide settings until the end of its scope.
class ScopedRegionalSettings {
public:
    explicit ScopedRegionalSettings(const RegionalSettings& settings);
    ~ScopedRegionalSettings();
    ScopedRegionalSettings(const ScopedRegionalSettings&) = delete;
    ScopedRegionalSettings& operator=(const ScopedRegionalSettings&) = delete;

private:
    RegionalSettings saved_;
};

// Year, month and day as 4, 2 and 2 digits, joined by the date separator.
QString formatDate(const QDate& date, const RegionalSettings& settings);
// Hours, minutes and seconds as two digits each, joined by the time separator, as the
// time fields' masks give them.
QString formatTime(int secondOfDay, const RegionalSettings& settings);

} // namespace kordane
