#pragma once
// The command line: which report, for which dates, in which form.
#include "data/Exceptions.h"

#include <QString>
#include <QStringList>

namespace kordane::report {

// A command line that cannot be followed; the text is the one line the user reads.
class UsageError : public Exception {
    using Exception::Exception;
};

enum class Command { Day,
                     Month,
                     Anomalies,
                     Payroll,
                     Help };
enum class Format { Table,
                    Csv,
                    Pdf };

struct Options {
    Command command = Command::Help;
    // Day: from == to. A named month: its calendar month's first and last date texts,
    // which the site's pay period moves. All date texts.
    QString from;
    QString to;
    QString month; // YYYY/MM when month or payroll names one; empty for --from/--to
    QString employee; // month only; empty for every employee
    QString xlsxFile; // payroll
    QString csvFile; // payroll
    Format format = Format::Table;
    bool bom = false;
    QString pdfFile;
    QString connectionsFile; // empty: found as the program finds it
};

// `arguments` without the program name. Throws UsageError.
Options parseArguments(const QStringList& arguments);

// Whether the arguments ask for a PDF, before the application object exists (a PDF
// needs the font machinery of a graphical one).
bool wantsPdf(int argc, char** argv);

QString usageText();

} // namespace kordane::report
