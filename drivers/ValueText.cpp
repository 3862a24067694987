#include "drivers/ValueText.h"

#include <charconv>

namespace dbxfb {

namespace {

void appendDigits(std::string& out, unsigned value, int width)
{
    char digits[10];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(digits, static_cast<std::size_t>(width));
}

void appendDate(ISC_DATE date, std::string& out)
{
    // Days since 1858-11-17 to a civil date (H. Hinnant's days_from_civil, inverted).
    const std::int64_t z = std::int64_t(date) - 40587 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = std::int64_t(yoe) + era * 400 + (month <= 2);
    appendDigits(out, static_cast<unsigned>(year), 4);
    out += '-';
    appendDigits(out, month, 2);
    out += '-';
    appendDigits(out, day, 2);
}

void appendTime(ISC_TIME time, std::string& out)
{
    const unsigned fraction = time % ISC_TIME_SECONDS_PRECISION;
    unsigned seconds = time / ISC_TIME_SECONDS_PRECISION;
    appendDigits(out, seconds / 3600, 2);
    out += ':';
    appendDigits(out, seconds / 60 % 60, 2);
    out += ':';
    appendDigits(out, seconds % 60, 2);
    if (fraction) {
        out += '.';
        appendDigits(out, fraction, 4);
    }
}

} // namespace

void formatScaled(std::int64_t value, int scale, std::string& out)
{
    out.clear();
    char digits[24];
    const bool negative = value < 0;
    // Through unsigned, so that the most negative value has its digits too.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    std::string_view text(digits, static_cast<std::size_t>(end - digits));
    if (negative)
        out += '-';
    if (scale >= 0) {
        out += text;
        if (magnitude != 0)
            out.append(static_cast<std::size_t>(scale), '0');
        return;
    }
    const auto places = static_cast<std::size_t>(-scale);
    if (text.size() <= places) {
        out += "0.";
        out.append(places - text.size(), '0');
        out += text;
    } else {
        out += text.substr(0, text.size() - places);
        out += '.';
        out += text.substr(text.size() - places);
    }
}

void formatDouble(double value, std::string& out)
{
    char digits[32];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.assign(digits, end);
}

void formatDate(ISC_DATE date, std::string& out)
{
    out.clear();
    appendDate(date, out);
}

void formatTime(ISC_TIME time, std::string& out)
{
    out.clear();
    appendTime(time, out);
}

void formatTimestamp(const ISC_TIMESTAMP& stamp, std::string& out)
{
    out.clear();
    appendDate(stamp.timestamp_date, out);
    out += ' ';
    appendTime(stamp.timestamp_time, out);
}

} // namespace dbxfb
