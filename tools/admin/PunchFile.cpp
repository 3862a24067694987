#include "tools/admin/PunchFile.h"

#include "tools/admin/Admin.h"
#include "tools/admin/Csv.h"
#include "tools/sheet/CsvCell.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <map>
#include <utility>

namespace kordane::admin {
namespace {

using attendance::Direction;
using attendance::Moment;

struct Lines {
    QString text;
    std::vector<int> badLines; // bytes that are no UTF-8
};

// Decoded whole; when bytes are no UTF-8, line by line, so that they are pinned to their
// line.
Lines readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PunchFileError("cannot read " + path.toStdString() + ": " + file.errorString().toStdString());
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    Lines out;
    QStringDecoder whole(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out.text = whole.decode(bytes);
    if (!whole.hasError())
        return out;
    QStringList lines;
    int number = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        ++number;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        lines.append(decoder.decode(line));
        if (decoder.hasError())
            out.badLines.push_back(number);
    }
    out.text = lines.join(u'\n');
    return out;
}

std::optional<Moment> momentOf(int year, int month, int day, int hour, int minute, int second)
{
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return attendance::momentOf(date, (hour * 60 + minute) * 60 + second);
}

// The number of `length` ASCII digits at `at`.
std::optional<int> digits(QStringView text, qsizetype at, qsizetype length)
{
    int value = 0;
    for (qsizetype i = at; i < at + length; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// "YYYY-MM-DD HH:MM[:SS]"; in text files the date may have / and the two are apart.
std::optional<Moment> moment(QStringView date, QStringView time, bool slashes)
{
    const auto separator = [&](qsizetype at) { return date[at] == u'-' || (slashes && date[at] == u'/'); };
    if (date.size() != 10 || !separator(4) || date[7] != date[4] || (time.size() != 5 && time.size() != 8) || time[2] != u':'
        || (time.size() == 8 && time[5] != u':'))
        return std::nullopt;
    const auto year = digits(date, 0, 4), month = digits(date, 5, 2), day = digits(date, 8, 2);
    const auto hour = digits(time, 0, 2), minute = digits(time, 3, 2);
    const auto second = time.size() == 8 ? digits(time, 6, 2) : std::optional(0);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    return momentOf(*year, *month, *day, *hour, *minute, *second);
}

std::optional<Direction> direction(const QString& text)
{
    const QString word = text.trimmed().toLower();
    if (word.isEmpty())
        return Direction::Unknown;
    if (word == u"in" || word == u"i")
        return Direction::In;
    if (word == u"out" || word == u"o")
        return Direction::Out;
    return std::nullopt;
}

class Reader {
public:
    Reader(PunchLines& out, const QDateTime& now)
        : out_(out)
        , now_(attendance::momentOf(now.date(), now.time().msecsSinceStartOfDay() / 1000))
    {
    }

    // Checks the punch's time and direction; keeps it, or refuses its line.
    void take(FilePunch punch, const QString& date, const QString& time, bool slashes, const QString& directionText)
    {
        const auto at = moment(date, time, slashes);
        const auto way = direction(directionText);
        QString why;
        if (!at)
            why = QStringLiteral("'%1' is no date and time (YYYY-MM-DD HH:MM[:SS])").arg((date + u' ' + time).trimmed());
        else if (*at > now_)
            why = QStringLiteral("%1 %2 is in the future").arg(date, time);
        else if (!way)
            why = QStringLiteral("the direction '%1' is neither in nor out").arg(directionText);
        else if (punch.card.isEmpty() && punch.employee.isEmpty())
            why = QStringLiteral("no card number");
        if (!why.isEmpty()) {
            refuse(punch.line, why);
            return;
        }
        punch.at = *at;
        punch.direction = *way;
        out_.punches.push_back(std::move(punch));
    }

    void refuse(int line, const QString& why) { out_.refused.push_back({line, why}); }

private:
    PunchLines& out_;
    Moment now_;
};

// The columns a CSV header names, or nothing when it is no punch header.
struct Header {
    std::map<QString, qsizetype> at;
    qsizetype size = 0;

    QString field(const QStringList& fields, const char* name) const
    {
        const auto column = at.find(QLatin1String(name));
        return column == at.end() ? QString() : report::unguarded(fields[column->second].trimmed());
    }
};

std::optional<Header> header(const csv::Record& record)
{
    if (!record.malformed.isEmpty())
        return std::nullopt;
    Header h;
    h.size = record.fields.size();
    for (qsizetype i = 0; i < record.fields.size(); ++i) {
        if (!h.at.emplace(record.fields[i].trimmed().toUpper(), i).second)
            return std::nullopt;
    }
    const bool names = h.at.count(QStringLiteral("CARD_ID")) || h.at.count(QStringLiteral("EMPLOYEE_ID"));
    if (!names || !h.at.count(QStringLiteral("PUNCHED_AT")))
        return std::nullopt;
    return h;
}

void readCsv(const std::vector<csv::Record>& records, const Header& h, Reader& reader)
{
    for (std::size_t i = 1; i < records.size(); ++i) {
        const csv::Record& record = records[i];
        if (!record.malformed.isEmpty()) {
            reader.refuse(record.line, QStringLiteral("malformed CSV: ") + record.malformed);
            continue;
        }
        if (record.fields.size() != h.size) {
            reader.refuse(record.line, QStringLiteral("malformed CSV: %1 fields, not %2").arg(record.fields.size()).arg(h.size));
            continue;
        }
        FilePunch punch;
        punch.line = record.line;
        punch.card = h.field(record.fields, "CARD_ID");
        punch.employee = h.field(record.fields, "EMPLOYEE_ID");
        punch.terminal = h.field(record.fields, "TERMINAL");
        const QString at = h.field(record.fields, "PUNCHED_AT");
        reader.take(std::move(punch), at.section(u' ', 0, 0), at.section(u' ', 1).trimmed(), false,
                    h.field(record.fields, "DIRECTION"));
    }
}

QStringList columns(const QString& line)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t\\r]+"));
    return line.trimmed().split(blanks, Qt::SkipEmptyParts);
}

bool textPunch(const QString& line)
{
    const QStringList fields = columns(line);
    return fields.size() >= 3 && moment(fields[1], fields[2], true);
}

// A line of column names, as some terminals write above their punches: no figure in it,
// and a date and a time among the names.
bool headingLine(const QString& line)
{
    const auto names = [&](const char* english, const char16_t* chinese) {
        return line.contains(QLatin1String(english), Qt::CaseInsensitive) || line.contains(QStringView(chinese));
    };
    return std::none_of(line.begin(), line.end(), [](QChar c) { return c.isDigit(); }) && names("date", u"日期") && names("time", u"時間");
}

void readText(const Lines& lines, Reader& reader)
{
    int number = 0;
    bool first = true;
    for (const QString& line : lines.text.split(u'\n')) {
        ++number;
        if (line.trimmed().isEmpty())
            continue;
        const bool opening = std::exchange(first, false);
        if (std::find(lines.badLines.begin(), lines.badLines.end(), number) != lines.badLines.end()) {
            reader.refuse(number, QStringLiteral("bytes that are no UTF-8 text"));
            continue;
        }
        if (opening && headingLine(line))
            continue;
        const QStringList fields = columns(line);
        if (fields.size() < 3) {
            reader.refuse(number, QStringLiteral("not a badge, a date and a time"));
            continue;
        }
        FilePunch punch;
        punch.line = number;
        punch.card = fields[0];
        punch.terminal = fields.value(3);
        reader.take(std::move(punch), fields[1], fields[2], true, fields.value(4));
    }
}

// The n-th line that is not blank, trimmed; empty when there are fewer.
QString nonBlankLine(const QString& text, int n)
{
    for (const QString& line : text.split(u'\n')) {
        if (!line.trimmed().isEmpty() && n-- == 0)
            return line.trimmed();
    }
    return {};
}

} // namespace

PunchFormat punchFormatNamed(const QString& name)
{
    if (name == u"csv")
        return PunchFormat::Csv;
    if (name == u"text")
        return PunchFormat::Text;
    throw UsageError("--format is csv or text, not " + name.toStdString());
}

PunchLines readPunchFile(const QString& path, std::optional<PunchFormat> format, const QDateTime& now)
{
    const Lines lines = readLines(path);
    const QString first = nonBlankLine(lines.text, 0);
    if (first.isEmpty())
        throw PunchFileError(path.toStdString() + " holds no punch");
    const std::vector<csv::Record> records = csv::parse(lines.text, lines.badLines);
    const std::optional<Header> h = records.empty() ? std::nullopt : header(records.front());
    if (!format) {
        if (h)
            format = PunchFormat::Csv;
        else if (textPunch(first) || (headingLine(first) && textPunch(nonBlankLine(lines.text, 1))))
            format = PunchFormat::Text;
        else
            throw PunchFileError(path.toStdString() + " is in no punch format (CSV with a header naming CARD_ID or "
                                                      "EMPLOYEE_ID and PUNCHED_AT, or badge, date and time apart): "
                                                      "its first line is '"
                                 + first.left(80).toStdString() + "'");
    }
    PunchLines out;
    out.format = *format;
    Reader reader(out, now);
    if (*format == PunchFormat::Text) {
        readText(lines, reader);
    } else {
        if (!h)
            throw PunchFileError(path.toStdString() + " line " + std::to_string(records.front().line)
                                 + ": the header must name CARD_ID or EMPLOYEE_ID, and PUNCHED_AT, each once");
        readCsv(records, *h, reader);
    }
    return out;
}

} // namespace kordane::admin
