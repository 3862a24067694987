#pragma once
// The site's settings the pay figures read from SITE_SETTING: each has a default, so a site
// that sets none is paid by calendar month with an eight-hour day and a forty-hour week.
#include <QString>

#include <optional>
#include <vector>

namespace kordane::attendance {

struct PaySetting {
    const char* name;
    const char* defaultValue;
    const char* meaning;
};

const std::vector<PaySetting>& paySettings();

// Why a value cannot be the named setting's, or nothing when it can.
std::optional<QString> paySettingProblem(const QString& name, const QString& value);

} // namespace kordane::attendance
