// Arbitrary date texts and settings: a conversion either fails with the conversion
// error or gives a date that reads back the same.
#include "attendance/DateConversion.h"
#include "data/Exceptions.h"

#include <cstdint>
#include <cstdlib>

using namespace kordane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const char* const formats[] = {"yyyy/MM/dd", "dd.MM.yyyy", "M/d/yy", "ggee/MM/dd", "", "dddd"};
    RegionalSettings settings;
    settings.dateSeparator = QChar(char16_t(data[0]));
    settings.shortDateFormat = QString::fromLatin1(formats[data[1] % 6]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    QDate date;
    try {
        date = strToDate(text, settings);
    } catch (const EConvertError& e) {
        if (!e.message().endsWith(QStringLiteral("' is not a valid date")))
            std::abort();
        return 0;
    }
    if (!date.isValid() || date.year() < 1 || date.year() > 9999 || dayOfWeek(date) < 1 || dayOfWeek(date) > 7)
        std::abort();
    const QChar sep = settings.dateSeparator;
    if (sep != QLatin1Char(' ') && !(sep >= QLatin1Char('0') && sep <= QLatin1Char('9'))) {
        settings.shortDateFormat = QStringLiteral("yyyy/MM/dd");
        if (strToDate(formatDate(date, settings), settings) != date)
            std::abort();
    }
    return 0;
}
