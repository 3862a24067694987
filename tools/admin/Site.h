#pragma once
// A site as the admin tool sees it: the connections file the program reads (or the one
// --connections names), the database it names, and the admin account.
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <QCommandLineOption>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <map>

class QCommandLineParser;

namespace kordane::admin {

struct Account {
    QString user;
    QString password;
};

// ISC_USER and ISC_PASSWORD, the Firebird client's own variables, so that no password
// shows in the process list. A server needs the password; the embedded engine checks none.
Account adminAccount(bool onServer);

// The connections-file section the program reads, for `database` and `login`.
QByteArray connectionsFileText(const QString& database, const Account& login, const QString& serverCharSet = {});

// A file put in place whole or not at all: its bytes go to a file without a name until
// commit() gives it `path` (replacing a file of that name); dropped if never committed.
// Written when made, so that a file that cannot be written stops a command before the
// work whose result it holds. Throws when it cannot be written.
class StagedFile {
public:
    StagedFile(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions);
    void commit();

private:
    [[noreturn]] void fail();

    QString path_;
    QSaveFile file_;
};

// How much a text column takes: bytes for a column without a character set (the
// program's bytes go in as they are), characters for one with a set; `stored` is its
// width in bytes either way.
struct Width {
    int bytes = -1;
    int characters = -1;
    int stored = 0;
};

// A value as the raw client read it, as text of the site's character set; a null is empty.
QString decoded(const TextCodec& codec, const RawFirebird::Value& value);

// The columns of `table` by name; throws when one of `needed` is missing.
std::map<QString, Width> columnWidths(RawFirebird& db, const char* table, const QStringList& needed);

// --connections FILE, which every command that uses a site takes.
QCommandLineOption connectionsOption();

class Site {
public:
    // The connections file `parser` names with --connections, else the one the program finds.
    explicit Site(const QCommandLineParser& parser);

    const QString& database() const { return database_; }
    const QString& serverCharSet() const { return serverCharSet_; }
    bool onServer() const;
    // Texts as the program writes and reads them (code page 950 without ServerCharSet).
    const TextCodec& codec() const { return codec_; }

    // Attaches as the admin, the embedded engine set up as the program sets it up.
    RawFirebird attach() const;

private:
    struct File {
        QString path;
        QString database;
        QString serverCharSet;
        int connectTimeout;
    };
    static File read(const QCommandLineParser& parser);
    explicit Site(const File& file);

    QString database_;
    QString serverCharSet_;
    int connectTimeout_;
    TextCodec codec_;
};

} // namespace kordane::admin
