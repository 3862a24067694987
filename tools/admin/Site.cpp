#include "tools/admin/Site.h"

#include "data/sql/SqlConnection.h"

#include "data/config/ConfigLocation.h"
#include "data/config/IniFile.h"
#include "data/sql/EmbeddedEngine.h"

#include <QCommandLineParser>
#include <QFile>

#include <stdexcept>

namespace kordane::admin {

Site::File Site::read(const QCommandLineParser& parser)
{
    const bool named = parser.isSet(connectionsOption());
    File site {named ? parser.value(connectionsOption()) : config::connectionsFilePath(), {}, {}, fbkit::defaultConnectTimeout};
    const auto ini = IniFile::load(site.path, QString::fromLatin1(config::connectionsFileRole));
    if (!ini) {
        throw std::runtime_error("connections file " + site.path.toStdString() + " not found"
                                 + (named ? std::string() : " (" + config::connectionsSearchReport().toStdString() + ")"));
    }
    site.database = ini->value(connectionSection, u"Database").trimmed();
    if (site.database.isEmpty())
        throw std::runtime_error(site.path.toStdString() + " names no Database in [" + connectionSection.toStdString() + "]");
    site.serverCharSet = ini->value(connectionSection, u"ServerCharSet").trimmed();
    // As the program takes it: seconds, the default when empty.
    const QString timeout = ini->value(connectionSection, u"Connection Timeout").trimmed();
    if (!timeout.isEmpty()) {
        bool ok = false;
        site.connectTimeout = timeout.toInt(&ok);
        if (!ok || site.connectTimeout < 0)
            throw std::runtime_error(site.path.toStdString() + ": Connection Timeout=" + timeout.toStdString() + " is no number of seconds");
    }
    return site;
}

Account adminAccount(bool onServer)
{
    if (onServer && !qEnvironmentVariableIsSet("ISC_PASSWORD"))
        throw std::runtime_error("the server's admin account comes from ISC_USER and ISC_PASSWORD: set them");
    const QString user = qEnvironmentVariable("ISC_USER", QStringLiteral("SYSDBA"));
    const QString password = qEnvironmentVariable("ISC_PASSWORD", storedPassword);
    if (user.contains(u'\n') || password.contains(u'\n'))
        throw std::runtime_error("ISC_USER and ISC_PASSWORD must be one line each");
    return {user, password};
}

QByteArray connectionsFileText(const QString& database, const Account& login, const QString& serverCharSet)
{
    return kordane::connectionsFileText({QStringLiteral("Database=") + database, QStringLiteral("User_Name=") + login.user,
                                         QStringLiteral("Password=") + login.password,
                                         QStringLiteral("ServerCharSet=") + serverCharSet});
}

StagedFile::StagedFile(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions)
    : path_(path)
    , file_(path)
{
    // The mode before the first byte: the file may hold a password.
    if (!file_.open(QIODevice::WriteOnly) || !file_.setPermissions(permissions) || file_.write(text) != text.size()
        || !file_.flush())
        fail();
}

void StagedFile::commit()
{
    if (!file_.commit())
        fail();
}

void StagedFile::fail()
{
    throw std::runtime_error("cannot write " + path_.toStdString() + ": " + file_.errorString().toStdString());
}

QString decoded(const TextCodec& codec, const RawFirebird::Value& value)
{
    return value ? codec.decode(value->data(), value->size()) : QString();
}

std::map<QString, Width> columnWidths(RawFirebird& db, const char* table, const QStringList& needed)
{
    std::map<QString, Width> widths;
    const auto rows = db.query(std::string("SELECT TRIM(rf.RDB$FIELD_NAME), f.RDB$FIELD_TYPE, f.RDB$FIELD_LENGTH,"
                                           " f.RDB$CHARACTER_LENGTH, COALESCE(f.RDB$CHARACTER_SET_ID, 0)"
                                           " FROM RDB$RELATION_FIELDS rf JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE"
                                           " WHERE rf.RDB$RELATION_NAME = '")
                               + table + "'");
    for (const auto& row : rows) {
        const auto number = [&](std::size_t i) { return row[i] ? QByteArray::fromStdString(*row[i]).trimmed().toInt() : -1; };
        Width width;
        width.stored = number(2);
        if (number(1) == 14 || number(1) == 37) { // CHAR, VARCHAR
            if (number(4) <= 1) // NONE, OCTETS
                width.bytes = number(2);
            else
                width.characters = number(3);
        }
        widths[QString::fromStdString(row[0].value_or(std::string()))] = width;
    }
    for (const QString& column : needed) {
        if (!widths.count(column))
            throw std::runtime_error("the table " + std::string(table) + " has no column " + column.toStdString());
    }
    return widths;
}

QCommandLineOption connectionsOption()
{
    return {QStringLiteral("connections"),
            QStringLiteral("The site's connections file (default: the one the program finds)."), QStringLiteral("FILE")};
}

Site::Site(const QCommandLineParser& parser)
    : Site(read(parser))
{
}

Site::Site(const File& file)
    : database_(file.database)
    , serverCharSet_(file.serverCharSet)
    , connectTimeout_(file.connectTimeout)
    , codec_(serverCharSet_)
{
}

bool Site::onServer() const
{
    return engine::isServerDatabase(database_);
}

RawFirebird Site::attach() const
{
    const Account admin = adminAccount(onServer());
    engine::configure(database_);
    return RawFirebird(QFile::encodeName(database_).toStdString(), admin.user.toStdString(),
                       admin.password.toStdString(), serverCharSet_.toStdString(), connectTimeout_);
}

} // namespace kordane::admin
