#pragma once
// What may stand where a configuration file is expected and must be refused, not read: a
// FIFO nobody writes to (opening it waits for ever), a symbolic link to /dev/zero (reading
// it never ends), a regular file one byte over the limit (well-formed, so that only its
// size refuses it).
#include <QString>

namespace kordane::test {

enum class Unusable { Fifo,
                      Zero,
                      OverLimit };

// Puts one at `path`, in place of what is there; false when it cannot.
bool makeUnusable(const QString& path, Unusable kind);

// What an error says of it after the file's name.
QString refusalOf(Unusable kind);

// A well-formed connections or drivers text filled with comments to exactly `size` bytes.
QByteArray paddedText(const QByteArray& text, qsizetype size);

} // namespace kordane::test
