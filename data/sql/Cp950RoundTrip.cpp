#include "data/sql/Cp950RoundTrip.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace kordane::cp950 {
namespace {

constexpr char16_t variationSelector = 0xFE00;
constexpr char32_t escapeBase = 0xF0000;

struct Duplicate {
    std::uint16_t pair;
    char16_t character; // what the converter reads the pair as
};

// The pairs whose character the converter writes as another pair.
constexpr Duplicate duplicates[] = {
    {0xA2A4, 0x2550},
    {0xA2A5, 0x255E},
    {0xA2A6, 0x256A},
    {0xA2A7, 0x2561},
    {0xA2CC, 0x5341},
    {0xA2CE, 0x5345},
    {0xF9FA, 0x256D},
    {0xF9FB, 0x256E},
    {0xF9FC, 0x2570},
    {0xF9FD, 0x256F},
};

bool isLead(unsigned char b)
{
    return b >= 0x81 && b <= 0xFE;
}

bool isTrail(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
}

const Duplicate* duplicateOfPair(std::uint16_t pair)
{
    const auto* d = std::find_if(std::begin(duplicates), std::end(duplicates), [pair](const Duplicate& x) { return x.pair == pair; });
    return d == std::end(duplicates) ? nullptr : d;
}

const Duplicate* duplicateOfCharacter(char16_t c)
{
    const auto* d = std::find_if(std::begin(duplicates), std::end(duplicates), [c](const Duplicate& x) { return x.character == c; });
    return d == std::end(duplicates) ? nullptr : d;
}

void appendEscape(QString& out, std::uint32_t value)
{
    const char32_t code = escapeBase + value;
    out += QChar(QChar::highSurrogate(code));
    out += QChar(QChar::lowSurrogate(code));
}

// One converter a thread, opened once: every cell shown passes here. Stateless, so no
// value carries a partial character into the next; failures show as U+FFFD, not a flag.
QString converterDecode(std::string_view bytes)
{
    thread_local QStringDecoder decoder("windows-950", QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// A run of single bytes and well-formed pairs; a pair the converter cannot read is
// escaped on its own.
void appendRun(QString& out, std::string_view run)
{
    if (run.empty())
        return;
    const QString text = converterDecode(run);
    if (!text.contains(QChar::ReplacementCharacter)) {
        out += text;
        return;
    }
    for (std::size_t i = 0; i < run.size();) {
        const auto b = static_cast<unsigned char>(run[i]);
        if (b < 0x80) {
            out += QLatin1Char(static_cast<char>(b));
            ++i;
            continue;
        }
        const QString one = converterDecode(run.substr(i, 2));
        if (one.size() == 1 && one[0] != QChar::ReplacementCharacter)
            out += one;
        else
            appendEscape(out, (std::uint32_t(b) << 8) | static_cast<unsigned char>(run[i + 1]));
        i += 2;
    }
}

// Opened once a thread as well, every value written passing here. A failure's flag
// survives a reset, so the converter that failed is replaced by a fresh one.
std::optional<QByteArray> converterEncode(QStringView text)
{
    thread_local std::optional<QStringEncoder> encoder;
    if (!encoder)
        encoder.emplace("windows-950");
    QByteArray bytes = encoder->encode(text);
    if (encoder->hasError()) {
        encoder.reset();
        return std::nullopt;
    }
    return bytes;
}

// Only what decode makes: a byte from 0x80, or a lead byte and a trail byte. Any other
// value would write a byte below 0x80 that no character holds (a quote, a NUL) into a
// statement, behind the back of the quoting done on the text.
bool isEscape(char32_t code)
{
    if (code < escapeBase + 0x80 || code > escapeBase + 0xFEFE)
        return false;
    const std::uint32_t value = code - escapeBase;
    return value <= 0xFF || (isLead(static_cast<unsigned char>(value >> 8)) && isTrail(static_cast<unsigned char>(value & 0xFF)));
}

} // namespace

QString decode(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (isLead(b) && i + 1 < bytes.size() && isTrail(static_cast<unsigned char>(bytes[i + 1]))) {
            const auto pair = static_cast<std::uint16_t>((b << 8) | static_cast<unsigned char>(bytes[i + 1]));
            if (const Duplicate* d = duplicateOfPair(pair)) {
                appendRun(out, bytes.substr(run, i - run));
                out += QChar(d->character);
                out += QChar(variationSelector);
                run = i + 2;
            }
            i += 2;
            continue;
        }
        appendRun(out, bytes.substr(run, i - run));
        appendEscape(out, b);
        run = ++i;
    }
    appendRun(out, bytes.substr(run));
    return out;
}

std::optional<QByteArray> encode(QStringView text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() == variationSelector || c.isHighSurrogate();
    });
    if (plain)
        return converterEncode(text);

    QByteArray out;
    qsizetype run = 0;
    const auto flush = [&](qsizetype end) {
        if (end <= run)
            return true;
        const auto bytes = converterEncode(text.sliced(run, end - run));
        if (bytes)
            out += *bytes;
        return bytes.has_value();
    };
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text[i + 1]);
            if (isEscape(code)) {
                if (!flush(i))
                    return std::nullopt;
                const std::uint32_t value = code - escapeBase;
                if (value > 0xFF)
                    out += static_cast<char>(value >> 8);
                out += static_cast<char>(value & 0xFF);
                run = i + 2;
            }
            i += 2;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1].unicode() == variationSelector) {
            if (const Duplicate* d = duplicateOfCharacter(c.unicode())) {
                if (!flush(i))
                    return std::nullopt;
                out += static_cast<char>(d->pair >> 8);
                out += static_cast<char>(d->pair & 0xFF);
                run = i + 2;
                i += 2;
                continue;
            }
        }
        ++i;
    }
    if (!flush(text.size()))
        return std::nullopt;
    return out;
}

bool hasEscapes(QStringView text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate() && isEscape(QChar::surrogateToUcs4(text[i], text[i + 1])))
            return true;
    }
    return false;
}

} // namespace kordane::cp950
