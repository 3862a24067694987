#pragma once
// SQLConnection1: the one connection to the database, through a driver library loaded
// by name. It opens itself on the first demand and stays open until it is destroyed.
#include "Exceptions.h"

#include <QString>
#include <QStringList>
#include <dbx.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kordane {

class TextCodec;

class TSQLConnection {
public:
    enum class State { Closed, Connecting, Open, Disconnecting };

    explicit TSQLConnection(QString name = QStringLiteral("SQLConnection1"));
    ~TSQLConnection();
    TSQLConnection(const TSQLConnection&) = delete;
    TSQLConnection& operator=(const TSQLConnection&) = delete;

    const QString& name() const { return name_; }

    // Settings stored with the window; at each connect they are replaced from the
    // configuration files (load parameters on connect).
    QString connectionName = QStringLiteral("Varnok");
    QString driverName = QStringLiteral("Interbase");
    QString libraryName;  // driver library file name
    QString getDriverFunc = QStringLiteral("getSQLDriverINTERBASE");
    QString vendorLib = QStringLiteral("libfbclient.so.2");
    bool loadParamsOnConnect = true;
    bool loginPrompt = false;
    bool keepConnection = true;
    bool busyPointer = true;
    QStringList params;   // Name=Value lines, looked up without regard to case

    // Path of the connections file, found when the connection object is created.
    const QString& connectionsFilePath() const { return connectionsFile_; }
    // Tests and the installer may point the look-up elsewhere.
    void setConnectionsFilePath(const QString& path) { connectionsFile_ = path; }

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
    bool multipleTransactionsSupported() const { return multipleTransactionsSupported_; }
    dbx::Isolation isolation() const { return isolation_; }
    int maxActiveStatements() const { return maxStatements_; }
    int rowsetSize() const;     // RowsetSize parameter, 20 when absent or not an integer
    int localeCode() const;     // LocaleCode read as hexadecimal, 0 when absent

    // Explicit transactions (the provider's apply).
    bool inTransaction() const { return transactionCount_ > 0; }
    void startTransaction(int id);
    void commit(int id);
    void rollback(int id);

    // Text to and from the connection's character set (code page 950 when
    // ServerCharSet is empty). A character the set cannot hold throws EDatabaseError
    // naming it; nothing is sent then.
    QByteArray encode(const QString& text) const;
    QString decode(const char* data, std::size_t length) const;

    // A prepared statement run once with its values bound by position ("?" markers
    // already in the text); null values are bound as null. Gives the rows affected.
    std::int64_t execute(const QString& sql, const std::vector<std::optional<QString>>& values);

    // For statements of this connection.
    std::unique_ptr<dbx::ISQLCommand> createCommand();
    void statementOpened();
    void statementClosed();

    // Raises the driver error for a non-zero status, asking `source` for its text.
    template <class Source>
    [[noreturn]] void raiseDriverError(dbx::Status status, Source* source);

    dbx::ISQLConnection& driverConnection();

private:
    [[noreturn]] void raiseDriverErrorText(dbx::Status status, bool gotText, const std::string& text);

    QString name_;
    QString connectionsFile_;
    State state_ = State::Closed;
    bool paramsLoaded_ = false;
    QString lastError_;
    QString quoteChar_;
    bool transactionsSupported_ = false;
    bool multipleTransactionsSupported_ = false;
    dbx::Isolation isolation_ = dbx::Isolation::ReadCommitted;
    int maxStatements_ = 0;
    int activeStatements_ = 0;
    int transactionCount_ = 0;
    std::unique_ptr<dbx::ISQLDriver> driver_;
    std::unique_ptr<dbx::ISQLConnection> connection_;
    dbx::ISQLMetaData* metaData_ = nullptr;
    std::unique_ptr<TextCodec> codec_;
};

template <class Source>
void TSQLConnection::raiseDriverError(dbx::Status status, Source* source)
{
    std::string text;
    const bool got = source && source->getErrorMessage(text) == 0;
    raiseDriverErrorText(status, got, text);
}

} // namespace kordane
