#include "data/sql/SqlParams.h"

namespace kordane::sqlparams {
namespace {

// Every statement text passes here, so each set is a test of its own, not a search.
bool isQuote(QChar c) { return c == u'\'' || c == u'"' || c == u'`'; }

// What ends a parameter's name.
bool endsName(QChar c)
{
    return c == u' ' || c == u',' || c == u';' || c == u')' || c == u'\r' || c == u'\n';
}

// What may stand before a marker's colon.
bool opensMarker(QChar c)
{
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'(' || c == u')' || c == u',' || c == u'<' || c == u'='
        || c == u'>';
}

// The end of a name starting at `from`.
qsizetype nameEnd(QStringView text, qsizetype from)
{
    while (from < text.size() && !endsName(text[from]))
        ++from;
    return from;
}

} // namespace

std::vector<Marker> namedMarkers(QStringView text)
{
    std::vector<Marker> markers;
    QChar literal; // the quote that opened the literal we are in, if any
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!literal.isNull()) {
            if (c == literal)
                literal = QChar();
        } else if (isQuote(c)) {
            literal = c;
        } else if (c == u':') {
            if (i + 1 < text.size() && text[i + 1] == u':') {
                ++i;
                continue;
            }
            const qsizetype end = nameEnd(text, i + 1);
            if (end > i + 1)
                markers.push_back({i, text.sliced(i + 1, end - i - 1).toString()});
            i = end - 1;
        }
    }
    return markers;
}

QString driverText(QStringView text, const QStringList& names, QStringView quote)
{
    struct Candidate {
        qsizetype position;
        qsizetype end;
        bool replaced;
    };
    std::vector<Candidate> candidates;
    QChar literal;
    const QChar driverQuote = quote.isEmpty() ? QChar(u'\'') : quote.front();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!literal.isNull()) {
            if (c == literal)
                literal = QChar();
        } else if (c == u'\'' || c == driverQuote) {
            literal = c;
        } else if (c == u':' && i + 1 < text.size() && text[i + 1] == u':') {
            ++i; // a plain colon
        } else if (c == u':' && (i == 0 || opensMarker(text[i - 1]))) {
            // ';' ends a name here as it does for the parameter list, so both agree; and as
            // there, a quote or colon inside the name is part of it.
            candidates.push_back({i, nameEnd(text, i + 1), false});
            i = candidates.back().end - 1;
        }
    }
    for (const QString& name : names) {
        for (Candidate& candidate : candidates) {
            if (!candidate.replaced && text.sliced(candidate.position + 1, candidate.end - candidate.position - 1) == name) {
                candidate.replaced = true;
                break;
            }
        }
    }
    QString result;
    result.reserve(text.size() + 2 * names.size());
    qsizetype from = 0;
    for (const Candidate& candidate : candidates) {
        if (!candidate.replaced)
            continue;
        result.append(text.sliced(from, candidate.position - from));
        result.append(u" ? ");
        from = candidate.end;
    }
    result.append(text.sliced(from));
    return result;
}

} // namespace kordane::sqlparams
