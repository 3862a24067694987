#pragma once
// A connection to the database, through a driver library loaded
// by name. It opens itself on the first demand and stays open until it is destroyed.
#include "data/Exceptions.h"

#include "data/sql/OpenWatch.h"
#include "data/sql/PreparedCommand.h"
#include "drivers/api/dbx.h"
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

QT_FORWARD_DECLARE_CLASS(QTimer)

namespace kordane {

class DriverLibrary;
class TextCodec;
class SqlStatement;

// The section of the connections file the parameters are read from.
inline const QString connectionSection = QStringLiteral("Varnok");
// The password the stored parameters carry, which the embedded engine does not check.
inline const QString storedPassword = QStringLiteral("quillbrex");

// The fourteen parameter lines stored with the main window, in their order.
QStringList storedParams();
// A connections file: the section with the stored parameter lines, each of `values`
// ("Name=Value") in place of the stored line of that name.
QByteArray connectionsFileText(const QStringList& values);

class SqlConnection {
public:
    enum class State { Closed,
                       Connecting,
                       Open,
                       Disconnecting };

    explicit SqlConnection(QString name = QStringLiteral("SQLConnection1"));
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    const QString& name() const { return name_; }

    // Settings stored with the window; at each connect they are replaced from the
    // configuration files (load parameters on connect).
    QString connectionName = connectionSection;
    QString driverName = QStringLiteral("Interbase");
    QString libraryName = QStringLiteral("libdbxfb.so"); // driver library file name
    QString getDriverFunc = QStringLiteral("getSQLDriverINTERBASE");
    QString vendorLib = QStringLiteral("libfbclient.so.2");
    bool loadParamsOnConnect = true;
    bool loginPrompt = false;
    bool keepConnection = true;
    bool busyPointer = true;
    QStringList params = storedParams(); // Name=Value lines, looked up without regard to case

    // Both files are looked up at each connect unless a path is set here (tests, the
    // tools' --connections).
    void setConnectionsFilePath(const QString& path) { connectionsFileOverride_ = path; }
    void setDriversFilePath(const QString& path) { driversFileOverride_ = path; }
    QString driversFilePath() const;
    // Whether the parameters were loaded from the connections file since the last disconnect.
    bool paramsLoaded() const { return paramsLoaded_; }
    // The text of the last error the driver reported.
    const QString& lastError() const { return lastError_; }

    State state() const { return state_; }
    bool connected() const { return state_ == State::Open; }

    // Runs the connect sequence when closed; throws on failure (state back to closed).
    void open();
    // Disconnect sequence; closing a closed connection does nothing.
    void close();

    // The value of a parameter (case-insensitive name); an empty value counts as absent.
    std::optional<QString> paramValue(const QString& name) const;

    // Known after connecting.
    const QString& quoteChar() const { return quoteChar_; }
    bool transactionsSupported() const { return transactionsSupported_; }
    dbx::Isolation isolation() const { return isolation_; }
    int localeCode() const; // LocaleCode read as hexadecimal, 0 when absent

    // Explicit transactions (the provider's apply).
    bool inTransaction() const { return transactionCount_ > 0; }
    // Before a write outside a transaction (a transaction's start checks for its writes):
    // throws when another program has the embedded database file open with its locks
    // elsewhere, and drops this attachment first, so that nothing it cached before is
    // written back. The look is made again only once the file has been opened since the
    // last one that found nobody.
    void refuseSharedWrite();
    void startTransaction(int id);
    // A snapshot in which the server refuses every change: one consistent view for readers.
    void startReadOnlyTransaction(int id);
    void commit(int id);
    void rollback(int id);

    // Text to and from the connection's character set (code page 950 when
    // ServerCharSet is empty). A character the set cannot hold throws EDatabaseError
    // naming it; nothing is sent then.
    QByteArray encode(const QString& text) const;
    QString decode(const char* data, std::size_t length) const;
    // As decode, but nullopt when the bytes are not text of the character set.
    std::optional<QString> decodeExactly(const char* data, std::size_t length) const;

    // A command prepared before, run with values that are already the connection's bytes,
    // bound as they are: a value fetched goes back exactly as it was fetched. Gives the
    // rows affected.
    std::int64_t execute(dbx::ISQLCommand& command, const std::vector<std::optional<std::string_view>>& bytes);

    // For statements of this connection. createCommand opens the connection on demand
    // and, when the driver's limit of active statements is reached, takes the command
    // from a second connection with the same parameters.
    std::unique_ptr<dbx::ISQLCommand> createCommand();
    // A command prepared with `sql` (already in "?" form): one kept prepared with that
    // text when there is one, else a new one given the rowset size and prepared.
    PreparedCommand prepareCommand(const QString& sql, int parameterCount);
    // The same text prepared anew, for a kept command that a definition changed under.
    void prepareAfresh(PreparedCommand& command);
    // Runs `run` (which executes `command`); when a kept command fails because an admin
    // changed a definition it uses since it was prepared, prepares it afresh and runs once more.
    template<class Run>
    auto runPrepared(PreparedCommand& command, Run&& run) -> decltype(run())
    {
        try {
            return run();
        } catch (const EDriverError& e) {
            if (!command.reused || e.kind() != dbx::ErrorKind::ObjectInUse)
                throw;
        }
        prepareAfresh(command);
        return run();
    }
    // A command done with, kept prepared for the next statement of its text. Kept
    // commands hold the definitions they use, which an admin's DDL waits for: they are
    // all released once the connection has been idle for `Statement Release Delay`
    // milliseconds (default 1000, 0 keeps none), and when it closes.
    void recycle(PreparedCommand command);
    // A statement of this connection is running: the idle time starts again.
    void noteUse();
    // Releases every kept command and the prepared statements of idle statement objects.
    void releasePrepared();
    // Binds one value by position (from 1): a text with its byte length, or null.
    void bind(dbx::ISQLCommand& command, int position, const std::optional<QString>& value);
    // The same for bytes already in the connection's character set.
    void bindBytes(dbx::ISQLCommand& command, int position, std::optional<std::string_view> bytes);
    void statementOpened();
    void statementClosed();
    // Statements are told when the connection closes, so they release their handles first.
    void attach(SqlStatement* statement);
    void detach(SqlStatement* statement);

    // Raises the driver error for a status other than success, asking `source` (the
    // driver object that gave it) for its text.
    template<class Source>
    void check(Source* source, dbx::Status status)
    {
        if (status != dbx::DBXERR_NONE)
            raiseDriverError(source, status);
    }

private:
    template<class Source>
    [[noreturn]] void raiseDriverError(Source* source, dbx::Status status);
    [[noreturn]] void raiseDriverErrorText(dbx::Status status, bool gotText, const std::string& text,
                                           dbx::ServerError server);
    // A whole-number parameter; `absent` when it is missing, not a number, or below `least`.
    int numberParam(const QString& name, int absent, int least) const;
    void loadParams();
    void readDriverSettings();
    void connectDriver();
    void applyOptions();
    void releaseDriver() noexcept;
    const TextCodec& codec() const;
    SqlConnection& commandConnection();

    QString name_;
    std::optional<QString> connectionsFileOverride_;
    QString driversFileOverride_;
    State state_ = State::Closed;
    bool paramsLoaded_ = false;
    QString lastError_;
    QString quoteChar_;
    bool transactionsSupported_ = false;
    dbx::Isolation isolation_ = dbx::Isolation::ReadCommitted;
    int maxStatements_ = 0;
    int rowsetSize_ = 20;
    int activeStatements_ = 0;
    int transactionCount_ = 0;
    QString embeddedFile_; // the database, when it is a file the embedded engine opens
    OpenWatch embeddedOpens_; // of embeddedFile_: whether the look before a write is due
    DriverLibrary* library_ = nullptr;
    std::unique_ptr<dbx::ISQLDriver> driver_;
    std::unique_ptr<dbx::ISQLConnection> connection_;
    std::vector<PreparedCommand> kept_; // of connection_, the last used at the back; gone before it
    std::unique_ptr<QTimer> idleRelease_;
    std::chrono::steady_clock::time_point lastUse_; // of a prepared command, for idleRelease_
    int releaseDelay_ = 1000;
    dbx::ISQLMetaData* metaData_ = nullptr;
    mutable std::unique_ptr<TextCodec> codec_;
    std::vector<SqlStatement*> statements_;
    std::unique_ptr<SqlConnection> second_; // for statements beyond the driver's limit
};

template<class Source>
void SqlConnection::raiseDriverError(Source* source, dbx::Status status)
{
    std::string text;
    const bool got = source && source->getErrorMessage(text) == dbx::DBXERR_NONE;
    dbx::ServerError server;
    if (!source || source->getServerError(server) != dbx::DBXERR_NONE)
        server = {};
    raiseDriverErrorText(status, got, text, std::move(server));
}

} // namespace kordane
