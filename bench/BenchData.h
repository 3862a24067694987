#pragma once
// What the benchmark database holds (bench_makedb) and where: the dates of the scaling
// table, each with its number of rows. Today holds the 100,000-row day.
#include <QDate>

#include <array>
#include <string>

namespace kordane::bench {

inline constexpr std::array<int, 4> scalingRows {1000, 10000, 100000, 1000000};

// The date that holds `rows` rows: today for 100,000, else a date older than the
// 365 dates of the everyday rows.
inline QDate scalingDate(int rows)
{
    const QDate today = QDate::currentDate();
    switch (rows) {
    case 1000:
        return today.addDays(-400);
    case 10000:
        return today.addDays(-401);
    case 1000000:
        return today.addDays(-402);
    default:
        return today;
    }
}

inline std::string dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd")).toStdString();
}

} // namespace kordane::bench
