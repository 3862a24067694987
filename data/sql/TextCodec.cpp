#include "data/sql/TextCodec.h"

#include "data/Exceptions.h"
#include "data/sql/Cp950RoundTrip.h"

#include <algorithm>
#include <iterator>

namespace kordane {
namespace {

struct CharSetName {
    const char* firebird;
    const char* qt;
};

// Firebird's names where they differ from what ICU understands.
constexpr CharSetName charSetNames[] = {
    {"NONE", "windows-950"},
    {"UTF8", "UTF-8"},
    {"UNICODE_FSS", "UTF-8"},
    {"ASCII", "US-ASCII"},
    {"BIG_5", "Big5"},
    {"GB_2312", "GB2312"},
    {"GBK", "GBK"},
    {"GB18030", "GB18030"},
    {"SJIS_0208", "Shift_JIS"},
    {"EUCJ_0208", "EUC-JP"},
    {"KSC_5601", "EUC-KR"},
    {"KOI8R", "KOI8-R"},
    {"KOI8U", "KOI8-U"},
    {"TIS620", "TIS-620"},
    {"CP943C", "windows-932"},
    {"DOS437", "IBM437"},
    {"DOS850", "IBM850"},
    {"DOS852", "IBM852"},
    {"DOS857", "IBM857"},
    {"DOS860", "IBM860"},
    {"DOS861", "IBM861"},
    {"DOS863", "IBM863"},
    {"DOS865", "IBM865"},
    {"DOS866", "IBM866"},
    {"DOS869", "IBM869"},
};

bool isAscii(const char* data, std::size_t length)
{
    return std::all_of(data, data + length, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QString TextCodec::encodingFor(const QString& serverCharSet)
{
    const QString name = serverCharSet.trimmed().toUpper();
    if (name.isEmpty())
        return QStringLiteral("windows-950");
    for (const CharSetName& n : charSetNames) {
        if (name == QLatin1String(n.firebird))
            return QString::fromLatin1(n.qt);
    }
    if (name.startsWith(u"WIN"))
        return QStringLiteral("windows-") + name.sliced(3);
    if (name.startsWith(u"ISO8859_"))
        return QStringLiteral("ISO-8859-") + name.sliced(8);
    return name;
}

TextCodec::TextCodec(const QString& serverCharSet)
    : encodingName_(encodingFor(serverCharSet))
    , qtName_(encodingName_.toLatin1())
    , decoder_(qtName_.constData(), QStringConverter::Flag::Stateless)
{
    if (!QStringEncoder(qtName_.constData()).isValid() || !decoder_.isValid())
        throw EDatabaseError(QStringLiteral("Character set '%1' is not supported").arg(serverCharSet.trimmed()));
    utf8_ = encodingName_ == u"UTF-8";
    cp950_ = encodingName_ == u"windows-950";
}

QByteArray TextCodec::encode(QStringView text) const
{
    // Every supported set is a superset of ASCII, which is most of what passes here.
    if (isAscii(text))
        return text.toLatin1();
    if (auto bytes = tryEncode(text))
        return *bytes;
    raiseUnencodable(text);
}

std::optional<QByteArray> TextCodec::tryEncode(QStringView text) const
{
    if (cp950_)
        return cp950::encode(text);
    // A fresh encoder each time: an ICU encoder's error flag survives resetState().
    QStringEncoder encoder(qtName_.constData());
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

void TextCodec::raiseUnencodable(QStringView text) const
{
    for (qsizetype i = 0; i < text.size();) {
        qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        // A character read with a selector after it is written as one.
        if (cp950_ && n == 1 && i + 1 < text.size() && text[i + 1].unicode() == 0xFE00 && tryEncode(text.sliced(i, 2)))
            n = 2;
        const QStringView one = text.sliced(i, n);
        if (!tryEncode(one)) {
            const char32_t code = one[0].isHighSurrogate() && n == 2 ? QChar::surrogateToUcs4(one[0], one[1]) : one[0].unicode();
            throw EDatabaseError(QStringLiteral("Character '%1' (U+%2) cannot be represented in the character set %3")
                                     .arg(one.toString())
                                     .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, u'0'))
                                     .arg(encodingName_));
        }
        i += n;
    }
    throw EDatabaseError(QStringLiteral("Text cannot be represented in the character set %1").arg(encodingName_));
}

QString TextCodec::decode(const char* data, std::size_t length) const
{
    const auto size = static_cast<qsizetype>(length);
    if (isAscii(data, length))
        return QString::fromLatin1(data, size);
    if (utf8_)
        return QString::fromUtf8(data, size);
    if (cp950_)
        return cp950::decode(std::string_view(data, length));
    return decoder_.decode(QByteArrayView(data, size));
}

std::optional<QString> TextCodec::decodeExactly(QByteArrayView bytes) const
{
    const auto length = static_cast<std::size_t>(bytes.size());
    if (isAscii(bytes.data(), length))
        return QString::fromLatin1(bytes);
    if (cp950_) {
        // Bytes that are no character read as escapes, which no other program could read.
        QString text = cp950::decode(std::string_view(bytes.data(), length));
        if (cp950::hasEscapes(text))
            return std::nullopt;
        return text;
    }
    // A decoder of its own: the error flag is the answer and must start clear.
    QStringDecoder decoder(qtName_.constData(), QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace kordane
