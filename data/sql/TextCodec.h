#pragma once
// Text to and from the bytes of the connection's character set. Without a server
// character set the bytes are those of code page 950 (Big5), the user interface's, and
// every byte sequence read comes back as the same bytes when written.
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstddef>
#include <optional>

namespace kordane {

class TextCodec {
public:
    // serverCharSet: a Firebird character set name ("UTF8", "BIG_5", ...) or empty.
    // Throws EDatabaseError for a set this build cannot convert.
    explicit TextCodec(const QString& serverCharSet);

    const QString& encodingName() const { return encodingName_; }

    // Throws EDatabaseError naming the first character the set cannot hold.
    QByteArray encode(QStringView text) const;
    QString decode(const char* data, std::size_t length) const;
    QString decode(QByteArrayView bytes) const { return decode(bytes.data(), static_cast<std::size_t>(bytes.size())); }
    // nullopt for bytes that are no text of the set (decode would put U+FFFD there, or,
    // for code page 950, a private-use character standing for the bytes).
    std::optional<QString> decodeExactly(QByteArrayView bytes) const;

    // The Qt encoding name for a Firebird character set name (empty: code page 950).
    static QString encodingFor(const QString& serverCharSet);

private:
    // The text's bytes, or nothing when the set cannot hold all of it.
    std::optional<QByteArray> tryEncode(QStringView text) const;
    [[noreturn]] void raiseUnencodable(QStringView text) const;

    QString encodingName_;
    QByteArray qtName_;
    bool utf8_ = false;
    bool cp950_ = false;
    // Stateless: a value never carries a partial character into the next one.
    mutable QStringDecoder decoder_;
};

} // namespace kordane
