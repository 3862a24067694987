#include "tools/report/OutlyingDates.h"

#include "attendance/Catalogue.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"

#include <algorithm>
#include <string>

namespace kordane::report {
namespace {

// Beyond this many texts a reading of every row costs less than the steps.
constexpr int maxSteps = 20000;

QString quoted(const QString& text) { return u'\'' + catalogue::literalText(text) + u'\''; }

bool digit(QChar c) { return c >= u'0' && c <= u'9'; }

} // namespace

bool monthShaped(const QString& dateText)
{
    if (dateText.size() != 10 || dateText[4] != u'/' || dateText[7] != u'/')
        return false;
    if (!std::all_of(dateText.begin(), dateText.begin() + 4, digit) || !digit(dateText[5]) || !digit(dateText[6]) || !digit(dateText[8])
        || !digit(dateText[9]))
        return false;
    const int month = (dateText[5].unicode() - u'0') * 10 + (dateText[6].unicode() - u'0');
    return month >= 1 && month <= 12 && !dateText.startsWith(QStringLiteral("0000"));
}

std::optional<QStringList> unshapedDatesOutside(SqlConnection& connection, const QString& low, const QString& high)
{
    // A text as long as the column allows has no longer text after it, so the least text
    // above one of a month's shape is it with its last digit one more: from there the index
    // starts past its rows, where "above it" would read every one of them. In a wider
    // column the text with blanks after it would compare equal, and be stepped over.
    SqlQuery width(QStringLiteral("OutlyingDates"), connection);
    width.setSql({QStringLiteral("SELECT COALESCE(f.RDB$CHARACTER_LENGTH, f.RDB$FIELD_LENGTH) FROM RDB$RELATION_FIELDS r"
                                 " JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = r.RDB$FIELD_SOURCE"
                                 " WHERE r.RDB$RELATION_NAME = 'POS_DAY' AND r.RDB$FIELD_NAME = 'INI_DATE'")});
    width.open();
    const bool shapesFill = !width.eof() && width.rawText(0) == "10";
    width.close();
    if (!shapesFill)
        return std::nullopt;

    const QString select = QStringLiteral("SELECT FIRST 1 INI_DATE FROM POS_DAY WHERE ");
    const QString belowLow = QStringLiteral("INI_DATE < ") + quoted(low);
    SqlQuery first(QStringLiteral("OutlyingDates"), connection);
    first.setSql({select + belowLow + QStringLiteral(" ORDER BY INI_DATE")});
    SqlQuery above(QStringLiteral("OutlyingDates"), connection);
    SqlQuery from(QStringLiteral("OutlyingDates"), connection);
    QStringList unshaped;
    int steps = 0;
    // Below the span from the first text, and above it from its last: each step after the
    // text before, by statements prepared once for the side.
    for (const bool below : {true, false}) {
        const QString bound = (below ? QStringLiteral(" AND ") + belowLow : QString()) + QStringLiteral(" ORDER BY INI_DATE");
        above.setSql({select + QStringLiteral("INI_DATE > :AFTER") + bound});
        from.setSql({select + QStringLiteral("INI_DATE >= :FROM") + bound});
        SqlQuery* query = below ? &first : &above;
        if (!below)
            above.paramByName(QStringLiteral("AFTER")).setAsString(high);
        std::optional<std::string> lastBytes;
        for (;;) {
            query->open();
            if (query->eof()) {
                query->close();
                break;
            }
            const std::string bytes(query->rawText(0));
            query->close();
            // A text that does not come back as its own bytes would not step past itself.
            const auto text = connection.decodeExactly(bytes.data(), bytes.size());
            if (!text || (lastBytes && bytes <= *lastBytes) || ++steps > maxSteps)
                return std::nullopt;
            lastBytes = bytes;
            if (!monthShaped(*text)) {
                unshaped << *text;
                query = &above;
                above.paramByName(QStringLiteral("AFTER")).setAsString(*text);
            } else {
                QString next = *text;
                next[9] = QChar(next[9].unicode() + 1);
                query = &from;
                from.paramByName(QStringLiteral("FROM")).setAsString(next);
            }
        }
    }
    return unshaped;
}

} // namespace kordane::report
