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
    SqlQuery query(QStringLiteral("OutlyingDates"), connection);
    QStringList unshaped;
    int steps = 0;
    // Below the span from the first text, and above it from its last.
    for (const bool below : {true, false}) {
        std::optional<QString> after = below ? std::nullopt : std::optional(high);
        std::string lastBytes;
        for (;;) {
            QString where = after ? QStringLiteral("INI_DATE > ") + quoted(*after) : QString();
            if (below)
                where += (after ? QStringLiteral(" AND ") : QString()) + QStringLiteral("INI_DATE < ") + quoted(low);
            query.setSql({QStringLiteral("SELECT FIRST 1 INI_DATE FROM POS_DAY WHERE ") + where + QStringLiteral(" ORDER BY INI_DATE")});
            query.open();
            if (query.eof()) {
                query.close();
                break;
            }
            const std::string bytes(query.rawText(0));
            query.close();
            // A text that does not come back as its own bytes would not step past itself.
            const auto text = connection.decodeExactly(bytes.data(), bytes.size());
            if (!text || (steps > 0 && bytes <= lastBytes) || ++steps > maxSteps)
                return std::nullopt;
            if (!monthShaped(*text))
                unshaped << *text;
            lastBytes = bytes;
            after = *text;
        }
    }
    return unshaped;
}

} // namespace kordane::report
