#pragma once
// Text forms of the client's binary values.
#include <ibase.h>

#include <cstdint>
#include <string>

namespace dbxfb {

// An integer with `scale` decimal places when scale is negative (NUMERIC, DECIMAL).
void formatScaled(std::int64_t value, int scale, std::string& out);
void formatDouble(double value, std::string& out);
void formatDate(ISC_DATE date, std::string& out); // YYYY-MM-DD
void formatTime(ISC_TIME time, std::string& out); // HH:MM:SS, then .ffff when not zero
void formatTimestamp(const ISC_TIMESTAMP& stamp, std::string& out);

} // namespace dbxfb
