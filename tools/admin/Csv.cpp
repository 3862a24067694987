#include "tools/admin/Csv.h"

#include "data/sql/TextCodec.h"
#include "tools/sheet/CsvCell.h"

#include <QFile>

#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace kordane::admin::csv {
namespace {

class Parser {
public:
    explicit Parser(const QString& text)
        : text_(text)
    {
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    int line() const { return line_; }

    // One record from the start of a line; a malformed one is skipped to its line's end.
    Record next()
    {
        Record record {line_, {}, {}};
        const qsizetype start = pos_;
        for (;;) {
            QString field;
            const bool ok = peek() == u'"' ? quoted(field, record) : unquoted(field, record);
            if (!ok) {
                // A quote never closed took the rest of the file: only its first line is lost.
                if (atEnd()) {
                    pos_ = start;
                    line_ = record.line;
                }
                skipLine();
                return record;
            }
            record.fields.append(field);
            if (atEnd() || peek() == u'\n') {
                endLine();
                return record;
            }
            ++pos_; // the comma
        }
    }

private:
    QChar peek() const { return atEnd() ? QChar() : text_[pos_]; }

    bool unquoted(QString& field, Record& record)
    {
        while (!atEnd() && peek() != u',' && peek() != u'\n') {
            if (peek() == u'"') {
                record.malformed = QStringLiteral("a quote inside a field that does not start with one");
                return false;
            }
            field += text_[pos_++];
        }
        if (field.endsWith(u'\r') && (atEnd() || peek() == u'\n'))
            field.chop(1);
        return true;
    }

    bool quoted(QString& field, Record& record)
    {
        ++pos_;
        for (;;) {
            if (atEnd()) {
                record.malformed = QStringLiteral("a quoted field is not closed");
                return false;
            }
            const QChar c = text_[pos_++];
            if (c == u'\n')
                ++line_;
            if (c != u'"') {
                field += c;
            } else if (peek() == u'"') {
                field += c;
                ++pos_;
            } else {
                break;
            }
        }
        if (peek() == u'\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\n')
            ++pos_;
        if (!atEnd() && peek() != u',' && peek() != u'\n') {
            record.malformed = QStringLiteral("text after a quoted field's closing quote");
            return false;
        }
        return true;
    }

    void skipLine()
    {
        while (!atEnd() && peek() != u'\n')
            ++pos_;
        endLine();
    }

    void endLine()
    {
        if (!atEnd()) {
            ++pos_;
            ++line_;
        }
    }

    const QString& text_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

bool blank(const Record& record)
{
    return record.malformed.isEmpty() && record.fields.size() == 1 && record.fields[0].isEmpty();
}

} // namespace

std::vector<Record> parse(const QString& text, const std::vector<int>& badLines)
{
    std::vector<Record> records;
    Parser parser(text);
    while (!parser.atEnd()) {
        Record record = parser.next();
        if (blank(record))
            continue;
        const int last = parser.atEnd() ? parser.line() : parser.line() - 1;
        if (record.malformed.isEmpty() && std::any_of(badLines.begin(), badLines.end(), [&](int bad) { return bad >= record.line && bad <= last; }))
            record.malformed = QStringLiteral("bytes that are no text in the file's encoding");
        records.push_back(std::move(record));
    }
    return records;
}

FileText readFile(const QString& path, const QString& encoding)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString() + ": " + file.errorString().toStdString());
    QByteArray bytes = file.readAll();
    const bool utf8 = encoding == u"utf-8";
    if (utf8 && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // Decoded line by line, so that bytes the encoding does not hold are pinned to a line;
    // neither encoding has a line feed byte inside a character.
    const TextCodec codec(utf8 ? QStringLiteral("UTF8") : QString());
    FileText out;
    QStringList lines;
    int number = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        ++number;
        const auto text = codec.decodeExactly(line);
        if (!text)
            out.badLines.push_back(number);
        lines.append(text ? *text : codec.decode(line));
    }
    out.text = lines.join(u'\n');
    return out;
}

QString line(const QStringList& fields, Formulas formulas)
{
    QStringList out;
    for (const QString& field : fields)
        out.append(report::quotedField(formulas == Formulas::Guarded ? report::guarded(field) : field));
    return out.join(u',') + u'\n';
}

void write(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty()) {
        if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) != static_cast<std::size_t>(bytes.size()) || std::fflush(stdout) != 0)
            throw std::runtime_error("cannot write to standard output");
        return;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + out.errorString().toStdString());
}

} // namespace kordane::admin::csv
