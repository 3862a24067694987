#pragma once
// The date texts a stretch's reading must look at beyond its own span: those of no month's
// shape, which its figures may still place in the stretch.
#include <QString>
#include <QStringList>

#include <optional>

namespace kordane {
class SqlConnection;
} // namespace kordane

namespace kordane::report {

// Whether a date text is of a month's shape: YYYY/MM/DD with a month 01 to 12 and a year
// that is not 0000.
bool monthShaped(const QString& dateText);

// The distinct POS_DAY date texts below `low` or above `high` that are of no month's
// shape, in order. Found by stepping along the date index from one distinct text to the
// next, a row read a text rather than every row. Nullopt where a text cannot be written
// back into a statement, there are too many to step through, or the column is not ten
// characters wide: then every row must be read.
std::optional<QStringList> unshapedDatesOutside(SqlConnection& connection, const QString& low, const QString& high);

} // namespace kordane::report
