// kordane-report: the attendance records of a day, a month or a stretch of dates, read in
// one read-only transaction through the program's own connection (so the same connections
// file, driver and code page), while clerks go on working in their windows.
//
//   kordane-report day YYYY/MM/DD | month YYYY/MM [--employee CODE]
//                  | anomalies --from YYYY/MM/DD --to YYYY/MM/DD
//                  [--csv [--bom] | --pdf FILE] [--connections FILE]
//   kordane-report payroll YYYY/MM [--xlsx FILE] [--csv FILE] [--connections FILE]
#include "attendance/DateConversion.h"
#include "attendance/RegionalSettings.h"
#include "data/config/ConfigLocation.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/TransactionScope.h"
#include "tools/process/SignalDeath.h"
#include "tools/report/Arguments.h"
#include "tools/report/OutputFile.h"
#include "tools/report/PaySite.h"
#include "tools/report/Payroll.h"
#include "tools/report/PdfSheet.h"
#include "tools/report/Progress.h"
#include "tools/report/Records.h"
#include "tools/report/Reports.h"
#include "tools/report/XlsxFile.h"
#include "tools/sheet/SheetCsv.h"
#include "tools/sheet/TextTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

using namespace kordane;
using namespace kordane::report;

namespace {

// Every error is one line: the server's several lines are joined.
void printError(const QString& message)
{
    QString line = message.trimmed();
    line.replace(QStringLiteral("\r\n"), QStringLiteral("; ")).replace(u'\n', QStringLiteral("; "));
    std::fprintf(stderr, "kordane-report: %s\n", line.toUtf8().constData());
}

void writeOut(const QByteArray& bytes)
{
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) != static_cast<std::size_t>(bytes.size())
        || std::fflush(stdout) != 0)
        throw Exception(QStringLiteral("cannot write the report to standard output"));
}

QString dateText(const QDate& date) { return formatDate(date, RegionalSettings::current()); }

// A named month is the pay period that ends in it; a closed period it touches is named.
ReportPeriod reportPeriod(const Options& options, const PaySite& site)
{
    ReportPeriod period;
    period.employee = options.employee;
    const int firstDay = site.rules.periodFirstDay;
    if (!options.month.isEmpty()) {
        const QDate named = QDate::fromString(options.month + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd"));
        period.dates = attendance::payPeriodEnding(named.year(), named.month(), firstDay);
        period.label = firstDay == 1 ? options.month
                                     : QStringLiteral("%1（%2 至 %3）").arg(options.month, dateText(period.dates.first), dateText(period.dates.last));
    } else {
        period.dates = {QDate::fromString(options.from, QStringLiteral("yyyy/MM/dd")), QDate::fromString(options.to, QStringLiteral("yyyy/MM/dd"))};
        period.label = QStringLiteral("%1 至 %2").arg(options.from, options.to);
    }
    for (const ClosedPeriod& c : site.closed) {
        if (c.first <= period.dates.last && c.last >= period.dates.first)
            period.closedNotes << QStringLiteral("已結帳：%1 至 %2（%3 於 %4 結帳）").arg(dateText(c.first), dateText(c.last), c.closedBy, c.closedAt);
    }
    return period;
}

// The period's records, and with schedules those of its first week's earlier days
// (`leadIn`), which the weekly norm counts and the first day's spells are compared with.
Stretch periodRecords(Reader& reader, const ReportPeriod& period, const PaySite& site, std::vector<Record>& leadIn)
{
    const QDate& first = period.dates.first;
    const QDate& last = period.dates.last;
    // Records of a date that is no date are counted by the month their text names, so
    // only by a calendar month.
    const bool calendarMonth = first.day() == 1 && last == first.addMonths(1).addDays(-1);
    const QDate begin = site.schedules.empty() ? first : attendance::weekStart(first);
    Stretch stretch = reader.range(begin, last, period.employee, calendarMonth ? Undated::InTheirMonth : Undated::None);
    if (begin == first)
        return stretch;
    const QString firstMonth = first.toString(QStringLiteral("yyyy/MM"));
    // Those of the period move up in their order, over the few that leave: no second copy.
    std::vector<Record>& records = stretch.records;
    std::size_t kept = 0;
    for (Record& r : records) {
        const QDate day = placedDate(r.date);
        if (day.isValid() ? day < first : namedMonth(r.date) < firstMonth)
            (day.isValid() ? leadIn : stretch.neighbours).push_back(std::move(r));
        else if (&records[kept++] != &r)
            records[kept - 1] = std::move(r);
    }
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(kept), records.end());
    stretch.neighbours.insert(stretch.neighbours.end(), leadIn.begin(), leadIn.end());
    return stretch;
}

Sheet makeSheet(const Options& options, SqlConnection& connection, Reader& reader)
{
    // One snapshot for every query, so the figures agree with each other; the server
    // refuses any change in it.
    const TransactionScope view(connection, TransactionScope::ReadOnly {});
    const PaySite site = readPaySite(connection);
    switch (options.command) {
    case Command::Day: {
        const QDate day = QDate::fromString(options.from, QStringLiteral("yyyy/MM/dd"));
        const auto records = reader.day(options.from);
        return dayReport(options.from, records, reader.around(day), reader.employees(), site);
    }
    case Command::Month:
    case Command::Payroll: {
        const ReportPeriod period = reportPeriod(options, site);
        std::vector<Record> leadIn;
        Stretch stretch = periodRecords(reader, period, site, leadIn);
        if (options.command == Command::Month)
            return monthReport(period, std::move(stretch), leadIn, reader.employees(), site, options.format == Format::Pdf);
        Sheet sheet;
        sheet.summary = payrollTable(period, std::move(stretch), leadIn, reader.employees(), site);
        return sheet;
    }
    case Command::Anomalies: {
        const QDate from = QDate::fromString(options.from, QStringLiteral("yyyy/MM/dd"));
        const QDate to = QDate::fromString(options.to, QStringLiteral("yyyy/MM/dd"));
        return anomaliesReport(options.from, options.to, reader.range(from, to, QString(), Undated::Everywhere), reader.employees(), site);
    }
    case Command::Help:
        break;
    }
    return {};
}

int run(const QStringList& arguments)
{
    const Options options = parseArguments(arguments);
    if (options.command == Command::Help) {
        writeOut(usageText().toUtf8());
        return 0;
    }
    SqlConnection connection;
    connection.busyPointer = false;
    if (!options.connectionsFile.isEmpty()) {
        connection.setConnectionsFilePath(options.connectionsFile);
        // A site's directory holds both files, as init makes it: its drivers go with it.
        const QString drivers = QFileInfo(options.connectionsFile).dir().filePath(QString::fromLatin1(config::driversFileName));
        if (QFileInfo::exists(drivers))
            connection.setDriversFilePath(drivers);
    }
    Progress progress;
    Reader reader(connection, progress);
    const Sheet sheet = makeSheet(options, connection, reader);
    connection.close();

    const QStringList& skipped = reader.skipped();
    const QString last = skipped.isEmpty() ? QString() : QStringLiteral("無法讀取而略過 %1 筆").arg(skipped.size());
    if (options.command == Command::Payroll) {
        if (!options.xlsxFile.isEmpty())
            writeXlsx(sheet.summary, options.xlsxFile);
        if (!options.csvFile.isEmpty()) {
            OutputFile out(options.csvFile);
            out.write(csv(sheet.summary, false));
            out.commit();
        }
    } else {
        switch (options.format) {
        case Format::Table:
            progress.clear();
            writeOut((textTable(sheet.summary) + (last.isEmpty() ? QString() : last + u'\n')).toUtf8());
            break;
        case Format::Csv:
            progress.clear();
            writeOut(csv(sheet.summary, options.bom));
            break;
        case Format::Pdf:
            writePdf(sheet, options.pdfFile, last.isEmpty() ? QStringList() : QStringList {last}, progress);
            break;
        }
    }
    progress.clear();
    for (const QString& line : skipped)
        printError(line);
    if (skipped.isEmpty())
        return 0;
    // Where the table is not on standard output, the count still ends what the user reads.
    if (options.format != Format::Table || options.command == Command::Payroll)
        printError(QStringLiteral("%1 unreadable rows skipped").arg(skipped.size()));
    return 3;
}

// Qt's own notes (a missing runtime directory, font fall-backs) are no business of the
// report's reader, whose standard error holds one line per problem of the report's.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "kordane-report: %s\n", message.toUtf8().constData());
}

} // namespace

int main(int argc, char** argv)
{
    tools::dieOnTerminationSignals();
    // Drawing a PDF needs the fonts of a graphical application, but never a screen.
    std::unique_ptr<QCoreApplication> app;
    qInstallMessageHandler(quietQt);
    if (wantsPdf(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    try {
        return run(app->arguments().mid(1));
    } catch (const UsageError& e) {
        printError(e.message());
        return 2;
    } catch (const Exception& e) {
        printError(e.message());
        return 1;
    } catch (const std::exception& e) {
        printError(QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
