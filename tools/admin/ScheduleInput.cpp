#include "tools/admin/ScheduleInput.h"

#include "data/Exceptions.h"
#include "tools/admin/Admin.h"
#include "tools/admin/SiteParts.h"
#include "tools/sheet/CsvCell.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cstdio>
#include <stdexcept>

namespace kordane::admin {

std::optional<int> minuteOfDay(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch parts = shape.match(text);
    if (!parts.hasMatch())
        return std::nullopt;
    return parts.captured(1).toInt() * 60 + parts.captured(2).toInt();
}

QString timeText(int minute)
{
    return QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'));
}

std::optional<QDate> dateOf(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^([0-9]{4})/([0-9]{2})/([0-9]{2})$"));
    const QRegularExpressionMatch parts = shape.match(text);
    if (!parts.hasMatch())
        return std::nullopt;
    const QDate date(parts.captured(1).toInt(), parts.captured(2).toInt(), parts.captured(3).toInt());
    if (!date.isValid() || date.year() < 1)
        return std::nullopt;
    return date;
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

std::string serverDate(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

QDate storedDate(const RawFirebird::Value& value)
{
    return QDate::fromString(QString::fromStdString(value.value_or(std::string())), QStringLiteral("yyyy-MM-dd"));
}

std::optional<int> minutes(const QString& text, int high)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch() || text.toInt() > high)
        return std::nullopt;
    return text.toInt();
}

QString nameProblem(const QString& what, const QString& text, const TextCodec& codec, const Width& width, QByteArray& bytes)
{
    if (text.isEmpty())
        return QStringLiteral("no %1").arg(what);
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            return QStringLiteral("%1 holds a control character (U+%2)").arg(what, QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    if (text.front().isSpace() || text.back().isSpace())
        return QStringLiteral("%1 '%2' starts or ends with a blank").arg(what, text);
    try {
        bytes = codec.encode(text);
    } catch (const EDatabaseError& e) {
        return what + QStringLiteral(": ") + e.message();
    }
    if (width.bytes >= 0 && bytes.size() > width.bytes)
        return QStringLiteral("%1 '%2' is %3 bytes, wider than the column's %4").arg(what, text).arg(bytes.size()).arg(width.bytes);
    if (width.characters >= 0 && text.toUcs4().size() > width.characters)
        return QStringLiteral("%1 '%2' is %3 characters, wider than the column's %4").arg(what, text).arg(text.toUcs4().size()).arg(width.characters);
    return {};
}

std::vector<csv::Record> importRecords(const QString& path, const QStringList& columns)
{
    const csv::FileText file = csv::readFile(path, QStringLiteral("utf-8"));
    std::vector<csv::Record> records = csv::parse(file.text, file.badLines);
    if (records.empty())
        throw std::runtime_error(path.toStdString() + " is empty: it needs at least the header line");
    const csv::Record& header = records.front();
    QStringList names;
    for (const QString& field : header.fields)
        names.append(field.trimmed().toUpper());
    QStringList sorted = names;
    sorted.sort();
    QStringList wanted = columns;
    wanted.sort();
    if (!header.malformed.isEmpty() || sorted != wanted) {
        throw std::runtime_error(path.toStdString() + " line " + std::to_string(header.line) + ": the header must name "
                                 + columns.join(QStringLiteral(", ")).toStdString() + ", each once");
    }
    std::vector<csv::Record> out;
    for (std::size_t i = 1; i < records.size(); ++i) {
        csv::Record record {records[i].line, {}, records[i].malformed};
        if (record.malformed.isEmpty() && records[i].fields.size() != columns.size())
            record.malformed = QStringLiteral("%1 fields, not %2").arg(records[i].fields.size()).arg(columns.size());
        if (record.malformed.isEmpty()) {
            for (const QString& column : columns)
                record.fields.append(report::unguarded(records[i].fields[names.indexOf(column)]));
        }
        out.push_back(std::move(record));
    }
    return out;
}

void Refusals::add(int line, const QString& reason)
{
    ++count_;
    std::fprintf(stderr, "line %d: %s\n", line, qPrintable(reason));
}

void Refusals::check() const
{
    if (count_ > 0)
        throw std::runtime_error("nothing written: " + std::to_string(count_) + (count_ == 1 ? " line" : " lines") + " refused");
}

int runListing(const QStringList& arguments, const Listing& listing, bool exporting)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(listing.description);
    parser.addOption(connectionsOption());
    if (exporting)
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Where to write (default: standard output)."), QStringLiteral("[FILE]"));
    if (!parseCommand(parser, arguments))
        return 0;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > (exporting ? 1 : 0))
        throw UsageError(arguments.value(0).section(u' ', 1).toStdString() + (exporting ? " takes at most one FILE" : " takes no arguments"));
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    QString text = csv::line(listing.header, csv::Formulas::Guarded);
    for (const QStringList& row : listing.rows(db, site.codec()))
        text += csv::line(row, csv::Formulas::Guarded);
    csv::write(positional.value(0), text.toUtf8());
    return 0;
}

} // namespace kordane::admin
