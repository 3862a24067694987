#include "tools/report/Arguments.h"

#include "attendance/RegionalSettings.h"

#include <QDate>
#include <QRegularExpression>

#include <cstring>

namespace kordane::report {
namespace {

// A date text exactly as the records hold one: YYYY/MM/DD, a real date.
QString dateArgument(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"));
    if (!shape.match(text).hasMatch() || !QDate::fromString(text, QStringLiteral("yyyy/MM/dd")).isValid())
        throw UsageError(QStringLiteral("'%1' is not a date (YYYY/MM/DD)").arg(text));
    return text;
}

void monthArgument(const QString& text, Options& options)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}/\\d{2}$"));
    const QDate first = QDate::fromString(text + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd"));
    if (!shape.match(text).hasMatch() || !first.isValid())
        throw UsageError(QStringLiteral("'%1' is not a month (YYYY/MM)").arg(text));
    const RegionalSettings& regional = RegionalSettings::current();
    options.month = text;
    options.from = formatDate(first, regional);
    options.to = formatDate(first.addDays(first.daysInMonth() - 1), regional);
}

class ArgumentList {
public:
    explicit ArgumentList(const QStringList& arguments)
        : arguments_(arguments)
    {
    }
    bool atEnd() const { return next_ >= arguments_.size(); }
    QString take() { return arguments_[next_++]; }
    QString valueOf(const QString& option)
    {
        if (atEnd())
            throw UsageError(QStringLiteral("%1 needs a value").arg(option));
        return take();
    }

private:
    const QStringList& arguments_;
    qsizetype next_ = 0;
};

} // namespace

Options parseArguments(const QStringList& arguments)
{
    Options options;
    ArgumentList args(arguments);
    if (args.atEnd())
        throw UsageError(QStringLiteral("no report named (day, month, anomalies or payroll; --help for more)"));
    const QString command = args.take();
    const bool payroll = command == u"payroll";
    QStringList positional;
    bool csv = false;
    while (!args.atEnd()) {
        const QString arg = args.take();
        if (arg == u"--help" || arg == u"-h")
            return Options {};
        if (arg == u"--csv" && payroll)
            options.csvFile = args.valueOf(arg);
        else if (arg == u"--xlsx" && payroll)
            options.xlsxFile = args.valueOf(arg);
        else if (arg == u"--csv")
            csv = true;
        else if (arg == u"--bom")
            options.bom = true;
        else if (arg == u"--pdf")
            options.pdfFile = args.valueOf(arg);
        else if (arg == u"--connections")
            options.connectionsFile = args.valueOf(arg);
        else if (arg == u"--employee")
            options.employee = args.valueOf(arg);
        else if (arg == u"--from")
            options.from = dateArgument(args.valueOf(arg));
        else if (arg == u"--to")
            options.to = dateArgument(args.valueOf(arg));
        else if (arg.startsWith(u"--"))
            throw UsageError(QStringLiteral("unknown option %1").arg(arg));
        else
            positional << arg;
    }

    if (command == u"--help" || command == u"-h" || command == u"help")
        return Options {};
    if (command == u"day") {
        options.command = Command::Day;
        if (positional.size() != 1)
            throw UsageError(QStringLiteral("day takes one date: kordane-report day YYYY/MM/DD"));
        options.from = options.to = dateArgument(positional.front());
    } else if (command == u"month" || payroll) {
        options.command = payroll ? Command::Payroll : Command::Month;
        const bool range = !options.from.isEmpty() || !options.to.isEmpty();
        if (range ? !positional.isEmpty() || options.from.isEmpty() || options.to.isEmpty() : positional.size() != 1)
            throw UsageError(QStringLiteral("%1 takes one month (YYYY/MM) or --from DATE --to DATE").arg(command));
        if (range && options.to < options.from)
            throw UsageError(QStringLiteral("--to %1 is before --from %2").arg(options.to, options.from));
        if (!range)
            monthArgument(positional.front(), options);
        if (payroll && options.xlsxFile.isEmpty() && options.csvFile.isEmpty())
            throw UsageError(QStringLiteral("payroll writes --xlsx FILE or --csv FILE"));
    } else if (command == u"anomalies") {
        options.command = Command::Anomalies;
        if (!positional.isEmpty() || options.from.isEmpty() || options.to.isEmpty())
            throw UsageError(QStringLiteral("anomalies takes --from DATE --to DATE"));
        if (options.to < options.from)
            throw UsageError(QStringLiteral("--to %1 is before --from %2").arg(options.to, options.from));
    } else {
        throw UsageError(QStringLiteral("unknown report '%1' (day, month, anomalies or payroll)").arg(command));
    }
    if (command == u"day" && (arguments.contains(QStringLiteral("--from")) || arguments.contains(QStringLiteral("--to"))))
        throw UsageError(QStringLiteral("--from and --to belong to month, payroll and anomalies"));
    if (command != u"month" && !options.employee.isEmpty())
        throw UsageError(QStringLiteral("--employee belongs to month"));
    if (payroll && !options.pdfFile.isEmpty())
        throw UsageError(QStringLiteral("payroll writes --xlsx FILE or --csv FILE, not --pdf"));
    if (csv && !options.pdfFile.isEmpty())
        throw UsageError(QStringLiteral("--csv and --pdf exclude each other"));
    if (options.bom && !csv)
        throw UsageError(QStringLiteral("--bom goes with --csv"));
    options.format = csv ? Format::Csv : options.pdfFile.isEmpty() ? Format::Table
                                                                   : Format::Pdf;
    return options;
}

bool wantsPdf(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pdf") == 0)
            return true;
    }
    return false;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: kordane-report day YYYY/MM/DD [options]\n"
        "       kordane-report month YYYY/MM [--employee CODE] [options]\n"
        "       kordane-report month --from YYYY/MM/DD --to YYYY/MM/DD [--employee CODE] [options]\n"
        "       kordane-report anomalies --from YYYY/MM/DD --to YYYY/MM/DD [options]\n"
        "       kordane-report payroll YYYY/MM | --from YYYY/MM/DD --to YYYY/MM/DD\n"
        "                      [--xlsx FILE] [--csv FILE] [--connections FILE]\n"
        "\n"
        "A month is the pay period that ends in it: the calendar month, or from the day\n"
        "the site's PAY_PERIOD_FIRST_DAY names in the month before. With schedules the\n"
        "month adds each employee's pay, and payroll writes one line an employee.\n"
        "\n"
        "Reads the attendance records, in a read-only transaction, from the database the\n"
        "program uses, and prints an aligned table (UTF-8).\n"
        "\n"
        "Options:\n"
        "  --csv               CSV in UTF-8 with a header row instead of the table\n"
        "                      (a cell that would start a formula gets an apostrophe in front)\n"
        "  --bom               with --csv: begin with a byte order mark, for spreadsheets\n"
        "  --pdf FILE          an A4 PDF into FILE instead of the table\n"
        "  --xlsx FILE         payroll: a workbook into FILE\n"
        "  --csv FILE          payroll: CSV into FILE\n"
        "  --connections FILE  the connections file to use, with the dbxdrivers.ini beside it\n"
        "                      (default: as the program finds them)\n"
        "  --help              this text\n"
        "\n"
        "Exit status: 0 done; 1 an error; 2 a wrong command line; 3 done, but rows that could\n"
        "not be read were skipped (each named on standard error, their count in the last line).\n");
}

} // namespace kordane::report
