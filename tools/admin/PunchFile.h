#pragma once
// A card terminal's file of punches, one a line, in either of two formats:
//   csv   a header naming CARD_ID (or EMPLOYEE_ID) and PUNCHED_AT (YYYY-MM-DD HH:MM[:SS]),
//         and optionally TERMINAL and DIRECTION (in or out), in any order
//   text  badge, date (YYYY-MM-DD or YYYY/MM/DD) and time (HH:MM[:SS]) separated by tabs
//         or blanks, then optionally a terminal and a direction; further columns are
//         not read, nor a first line of column names (no figure, and a date and a time
//         among them: `Badge Date Time`, `卡號 日期 時間`)
// Files are UTF-8.
#include "attendance/PunchPairing.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <stdexcept>
#include <vector>

namespace kordane::admin {

enum class PunchFormat { Csv,
                         Text };

// A file that cannot be read, or is in neither format: the file's fault, not the site's.
class PunchFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "csv" or "text"; throws UsageError for anything else.
PunchFormat punchFormatNamed(const QString& name);

struct FilePunch {
    int line = 0;
    QString card; // empty when the file names the employee instead
    QString employee;
    attendance::Moment at = 0;
    QString terminal;
    attendance::Direction direction = attendance::Direction::Unknown;
};

struct LineRefusal {
    int line;
    QString reason;
};

struct PunchLines {
    PunchFormat format = PunchFormat::Csv;
    std::vector<FilePunch> punches;
    std::vector<LineRefusal> refused;
};

// The file's punches and the lines it cannot take; a punch after `now` is refused.
// `format` is recognised from the first line when not given. Throws PunchFileError when
// the file cannot be read, or matches no format.
PunchLines readPunchFile(const QString& path, std::optional<PunchFormat> format, const QDateTime& now);

} // namespace kordane::admin
