#pragma once
// The driver interface: what the data layer asks of a database driver library.
//
// A driver library is loaded by name at run time and exports one C entry point of
// type GetDriverFunc (its name comes from the drivers file). Every call gives back a
// status, 0 for success; on failure the object that failed keeps its last error: the
// text, which getErrorMessage gives in the connection's character set, and for a
// server's failure the server's codes, which getServerError gives. Callers decide by
// the codes; the text is for people.
//
// Object lifetimes: the driver outlives its connections, a connection outlives its
// commands and its metadata object, a command outlives its cursor. The library is never
// unloaded while the process runs, so objects may be deleted through their virtual
// destructors from the caller's side. Every status is meant to be looked at.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dbx {

using Status = int;

enum : Status {
    DBXERR_NONE = 0,
    DBXERR_NOMEMORY = 1,
    DBXERR_INVALIDFLDTYPE = 2,
    DBXERR_INVALIDHNDL = 3,
    DBXERR_INVALIDTIME = 4,
    DBXERR_NOTSUPPORTED = 5,
    DBXERR_INVALIDXLATION = 6,
    DBXERR_INVALIDPARAM = 7,
    DBXERR_OUTOFRANGE = 8,
    DBXERR_SQLPARAMNOTSET = 9,
    DBXERR_EOF = 10,
    DBXERR_INVALIDUSRPASS = 11,
    DBXERR_INVALIDPRECISION = 12,
    DBXERR_INVALIDLEN = 13,
    DBXERR_INVALIDXISOLEVEL = 14,
    DBXERR_INVALIDTXNID = 15,
    DBXERR_DUPLICATETXNID = 16,
    DBXERR_DRIVERRESTRICTED = 17,
    DBXERR_LOCALTRANSACTIVE = 18,
    DBXERR_MULTIPLETRANSNOTENABLED = 19,
    // From here on the failing object's getErrorMessage holds the server's own words.
    DBXERR_SERVER = 256,
};

// What a server's failure means to a caller, told by the driver from the server's codes.
enum class ErrorKind {
    Other, // none below, or not the server's failure
    LockConflict, // another transaction holds what this one needs
    UpdateConflict, // another transaction changed the row since this one began
    ConnectionLost, // the server cannot be reached, or the attachment has gone
    LoginRefused, // no such user, or not its password
    PermissionDenied, // the user lacks a privilege
    CheckRefused, // a constraint, a domain's check or a rule's exception refused the change
    DuplicateKey, // a primary or unique key holds the values already
    ObjectInUse, // a definition in use by another attachment
};

// A server's failure by its codes (empty for a success or a failure of the driver's own).
struct ServerError {
    ErrorKind kind = ErrorKind::Other;
    std::vector<std::int64_t> codes; // every error code of the status vector, the main one first
    std::string sqlState; // the five-character SQLSTATE; empty when there is none
    int systemError = 0; // the operating system's error number the server met, 0 for none
    std::vector<std::string> arguments; // the vector's text arguments: names of objects and files
};

enum class ConnectionOption {
    HostName, // text
    RoleName, // text
    WaitOnLocks, // bool
    CommitRetain, // bool
    AutoCommit, // bool
    BlockingMode, // bool
    ServerCharSet, // text; empty means none
    TransIsolation, // Isolation
    SqlDialect, // integer
    OSAuthentication, // bool
    ServerPort, // text
    MultipleTransaction, // bool
    TrimChar, // bool
    CustomString, // text
    ConnectTimeout, // integer, seconds
    BlobSize, // integer, -1 for no limit
};

enum class Isolation : std::int64_t { ReadCommitted = 0,
                                      RepeatableRead = 1,
                                      DirtyRead = 2 };

// Whether an explicit transaction may change the database; a read-only one is refused
// every change by the server itself.
enum class Access { ReadWrite,
                    ReadOnly };

enum class FieldType {
    Unknown,
    FixedString, // CHAR
    String, // VARCHAR
    Int16,
    Int32,
    Int64,
    Float,
    Double,
    Decimal,
    Date,
    Time,
    Timestamp,
    Boolean,
    Blob,
    Memo, // text blob
};

struct ColumnInfo {
    std::string name; // as the server names the column (alias if any)
    FieldType type = FieldType::Unknown;
    std::int32_t size = 0; // text: declared length in bytes; others: width of its text form
    std::int32_t scale = 0;
    bool nullable = true;
};

class ISQLCursor {
public:
    virtual ~ISQLCursor() = default;
    [[nodiscard]] virtual Status getColumnCount(int& count) = 0;
    [[nodiscard]] virtual Status getColumnInfo(int column, ColumnInfo& info) = 0; // column counts from 1
    // Moves to the next row; DBXERR_EOF after the last one.
    [[nodiscard]] virtual Status next() = 0;
    [[nodiscard]] virtual Status isNull(int column, bool& null) = 0;
    // The current row's value as text bytes (numbers and dates formatted by the driver);
    // valid until the next call of next(). A null gives an empty text.
    [[nodiscard]] virtual Status getText(int column, const char*& data, std::size_t& length) = 0;
    // Every value of the current row at once, as getText and isNull give them: for a
    // result read whole. Each array has a place a column.
    [[nodiscard]] virtual Status getRow(const char** data, std::size_t* lengths, bool* nulls) = 0;
    [[nodiscard]] virtual Status getErrorMessage(std::string& text) = 0;
    [[nodiscard]] virtual Status getServerError(ServerError& error) = 0;
};

class ISQLCommand {
public:
    virtual ~ISQLCommand() = default;
    [[nodiscard]] virtual Status setRowsetSize(int rows) = 0;
    [[nodiscard]] virtual Status prepare(const std::string& sql, int parameterCount) = 0;
    // Parameters count from 1, in the order of the statement's markers.
    [[nodiscard]] virtual Status setTextParameter(int index, const char* data, std::size_t length) = 0;
    [[nodiscard]] virtual Status setNullParameter(int index) = 0;
    // Runs the prepared statement. A statement with a result gives a cursor; one
    // without leaves `cursor` empty. Outside an explicit transaction each statement is
    // committed by the driver on its own (for a query: when its cursor is deleted).
    [[nodiscard]] virtual Status execute(std::unique_ptr<ISQLCursor>& cursor) = 0;
    [[nodiscard]] virtual Status getRowsAffected(std::int64_t& rows) = 0;
    [[nodiscard]] virtual Status getErrorMessage(std::string& text) = 0;
    [[nodiscard]] virtual Status getServerError(ServerError& error) = 0;
};

class ISQLMetaData {
public:
    virtual ~ISQLMetaData() = default;
    [[nodiscard]] virtual Status setSchemaName(const std::string& schema) = 0;
    [[nodiscard]] virtual Status getQuoteChar(std::string& quote) = 0;
    [[nodiscard]] virtual Status getTransactionsSupported(bool& supported) = 0;
    [[nodiscard]] virtual Status getMultipleTransactionsSupported(bool& supported) = 0;
    [[nodiscard]] virtual Status getErrorMessage(std::string& text) = 0;
    [[nodiscard]] virtual Status getServerError(ServerError& error) = 0;
};

class ISQLConnection {
public:
    virtual ~ISQLConnection() = default;
    [[nodiscard]] virtual Status setOption(ConnectionOption option, std::int64_t value) = 0;
    [[nodiscard]] virtual Status setOption(ConnectionOption option, const std::string& value) = 0;
    [[nodiscard]] virtual Status connect(const std::string& database, const std::string& user, const std::string& password) = 0;
    [[nodiscard]] virtual Status disconnect() = 0;
    [[nodiscard]] virtual Status getMaxActiveStatements(int& count) = 0; // 0: no limit
    // The metadata object stays owned by the connection.
    [[nodiscard]] virtual Status getMetaData(ISQLMetaData*& metaData) = 0;
    [[nodiscard]] virtual Status createCommand(std::unique_ptr<ISQLCommand>& command) = 0;
    // Explicit transactions: while one is active, every command of this connection runs in it.
    [[nodiscard]] virtual Status beginTransaction(int transactionId, Isolation isolation, Access access = Access::ReadWrite) = 0;
    [[nodiscard]] virtual Status commit(int transactionId) = 0;
    [[nodiscard]] virtual Status rollback(int transactionId) = 0;
    [[nodiscard]] virtual Status getErrorMessage(std::string& text) = 0;
    [[nodiscard]] virtual Status getServerError(ServerError& error) = 0;
};

class ISQLDriver {
public:
    virtual ~ISQLDriver() = default;
    [[nodiscard]] virtual Status getConnection(std::unique_ptr<ISQLConnection>& connection) = 0;
    [[nodiscard]] virtual Status getErrorMessage(std::string& text) = 0;
    [[nodiscard]] virtual Status getServerError(ServerError& error) = 0;
};

// The entry point: loads the vendor client library by name. A non-zero status means
// the driver cannot start (typically: the client library cannot be loaded).
using GetDriverFunc = Status (*)(const char* vendorLib, const char* errorResourceFile, ISQLDriver** driver);

} // namespace dbx
