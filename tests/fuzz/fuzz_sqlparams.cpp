// Arbitrary statement texts and parameter names: the rewrite for the driver keeps every
// quoted literal, and when each marker stands where the rewrite looks for one, it
// replaces exactly the markers that the parameter derivation finds.
#include "data/sql/SqlParams.h"

#include <cstdint>
#include <cstdlib>

using namespace kordane::sqlparams;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool atBoundary(QStringView text, qsizetype colon)
{
    return colon == 0 || QStringView(u" \r\n(),<=>").contains(text[colon - 1]);
}

// The quoted literals of a text, in order (an unterminated one runs to the end). A
// marker's name, which runs to a blank, CR, LF, ')', ',' or ';', opens none; a doubled
// colon is no marker.
QStringList literals(QStringView text, QChar quote)
{
    QStringList found;
    QChar open;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!open.isNull()) {
            if (text[i] == open) {
                found.append(text.sliced(start, i - start).toString());
                open = QChar();
            }
        } else if (text[i] == u'\'' || text[i] == quote) {
            open = text[i];
            start = i + 1;
        } else if (text[i] == u':' && i + 1 < text.size() && text[i + 1] == u':') {
            ++i; // a doubled colon is a plain colon, never a marker
        } else if (text[i] == u':' && atBoundary(text, i)) {
            while (i + 1 < text.size() && !QStringView(u" \r\n),;").contains(text[i + 1]))
                ++i;
        }
    }
    if (!open.isNull())
        found.append(text.sliced(start).toString());
    return found;
}

bool hasQuote(QStringView s, QChar quote) { return s.contains(u'\'') || s.contains(quote); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QChar quote = data[0] % 2 ? QChar(u'"') : QChar(u'`');
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype cut = rest.indexOf('\0');
    const QString text = QString::fromUtf8(rest.left(cut < 0 ? rest.size() : cut));
    QStringList extraNames;
    if (cut >= 0)
        extraNames = QString::fromUtf8(rest.mid(cut + 1)).split(u'\0');

    const std::vector<Marker> markers = namedMarkers(text);
    QStringList names;
    bool aligned = !text.contains(quote == u'"' ? u'`' : u'"');
    qsizetype previousEnd = 0;
    for (const Marker& m : markers) {
        require(m.position >= previousEnd && text[m.position] == u':' && !m.name.isEmpty());
        require(QStringView(text).sliced(m.position + 1, m.name.size()) == m.name);
        previousEnd = m.position + 1 + m.name.size();
        names.append(m.name);
        aligned = aligned && atBoundary(text, m.position) && !hasQuote(m.name, quote);
    }

    // Arbitrary names, derived ones among them: no crash, and literals untouched as long as
    // no replaced name spans a quote.
    QStringList mixed = extraNames + names;
    const QString arbitrary = driverText(text, mixed, QStringView(&quote, 1));
    bool namesPlain = true;
    for (const QString& n : mixed)
        namesPlain = namesPlain && !hasQuote(n, quote);
    if (namesPlain)
        require(literals(arbitrary, quote) == literals(text, quote));

    if (aligned) {
        QString expected;
        qsizetype from = 0;
        for (const Marker& m : markers) {
            expected += QStringView(text).sliced(from, m.position - from);
            expected += u" ? ";
            from = m.position + 1 + m.name.size();
        }
        expected += QStringView(text).sliced(from);
        require(driverText(text, names, QStringView(&quote, 1)) == expected);
    }
    return 0;
}
