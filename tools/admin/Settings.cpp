// setting set / list: the site's settings the pay figures read, in SITE_SETTING.
#include "attendance/PaySettings.h"
#include "tools/admin/Admin.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"

#include <QCommandLineParser>

#include <cstdio>
#include <map>
#include <stdexcept>

namespace kordane::admin {
namespace {

std::map<QString, QString> storedSettings(RawFirebird& db)
{
    std::map<QString, QString> stored;
    for (const auto& row : db.query("SELECT SETTING_NAME, SETTING_VALUE FROM SITE_SETTING"))
        stored[QString::fromStdString(row[0].value_or(""))] = QString::fromStdString(row[1].value_or(""));
    return stored;
}

int set(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Gives the setting NAME the value VALUE (setting list names them, with "
                                                    "their meanings and defaults)."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("The setting."));
    parser.addPositionalArgument(QStringLiteral("VALUE"), QStringLiteral("Its value."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 2)
        throw UsageError("setting set takes NAME VALUE");
    const QString name = parser.positionalArguments()[0].toUpper();
    const QString value = parser.positionalArguments()[1];
    if (const auto problem = attendance::paySettingProblem(name, value))
        throw std::runtime_error(QStringLiteral("%1 %2: %3").arg(name, value, *problem).toStdString());
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    // Names and values are ASCII, which every code page writes alike.
    db.executePrepared("UPDATE OR INSERT INTO SITE_SETTING (SETTING_NAME, SETTING_VALUE) VALUES (?, ?) MATCHING (SETTING_NAME)",
                       {name.toStdString(), value.toStdString()});
    std::printf("%s = %s\n", qPrintable(name), qPrintable(value));
    return 0;
}

std::vector<QStringList> settingRows(RawFirebird& db, const TextCodec&)
{
    const std::map<QString, QString> stored = storedSettings(db);
    std::vector<QStringList> rows;
    for (const attendance::PaySetting& setting : attendance::paySettings()) {
        const QString name = QString::fromLatin1(setting.name);
        const auto it = stored.find(name);
        rows.push_back({name, it != stored.end() ? it->second : QString::fromLatin1(setting.defaultValue),
                        QString::fromLatin1(setting.defaultValue), QString::fromUtf8(setting.meaning)});
    }
    return rows;
}

int list(const QStringList& arguments)
{
    const Listing listing {QStringLiteral("Writes every setting as UTF-8 CSV: SETTING_NAME,SETTING_VALUE (the stored value, or the "
                                          "default when none is),DEFAULT_VALUE,MEANING."),
                           {QStringLiteral("SETTING_NAME"), QStringLiteral("SETTING_VALUE"), QStringLiteral("DEFAULT_VALUE"), QStringLiteral("MEANING")},
                           settingRows};
    return runListing(arguments, listing, false);
}

} // namespace

int setting(const QStringList& arguments)
{
    return dispatch(arguments, "set NAME VALUE | list", {{"set", set}, {"list", list}});
}

} // namespace kordane::admin
