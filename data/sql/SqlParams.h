#pragma once
// Named parameter markers (":NAME") in a statement text: finding them, and the text the
// driver gets with each marker replaced by " ? ".
#include <QString>
#include <QStringList>

#include <vector>

namespace kordane::sqlparams {

struct Marker {
    qsizetype position; // of the colon
    QString name;
};

// Colons outside '...', "..." and `...` literals, not doubled ("::" is a plain colon),
// each with its name up to a blank, comma, semicolon, ')', CR, LF or the end.
std::vector<Marker> namedMarkers(QStringView text);

// The text with the markers of `names` (in their order) replaced by " ? ". A marker here
// is a colon outside literals quoted with ' or `quote`, at the start or after a blank,
// CR, LF or one of ( ) , < = >; each name replaces the first such marker of that name
// not yet replaced, so a name never matches inside a longer one or inside a literal.
QString driverText(QStringView text, const QStringList& names, QStringView quote);

} // namespace kordane::sqlparams
