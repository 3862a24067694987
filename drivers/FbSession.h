#pragma once
// One attachment and its transactions, shared by the connection the caller holds and the
// statements of its commands, so that a command or a result may outlive the connection
// (its calls then fail). The session holds its statements weakly, to end their results
// and free their handles before it detaches.
#include "drivers/FbApi.h"
#include "drivers/FbError.h"
#include "drivers/api/dbx.h"
#include "drivers/fbkit/ConnectTimeout.h"
#include "drivers/fbkit/Handle.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dbxfb {

struct FbStatement;

// A parameter as the server described it: its type without the null flag, its length
// and its subtype (a text's character set).
struct ParameterShape {
    short type = 0;
    short length = 0;
    short subType = 0;
};

struct ConnectionOptions {
    std::string hostName;
    std::string serverPort;
    std::string roleName;
    std::string serverCharSet;
    bool waitOnLocks = true;
    bool commitRetain = false;
    bool autoCommit = true;
    bool trimChar = false;
    dbx::Isolation isolation = dbx::Isolation::ReadCommitted;
    int sqlDialect = 3;
    int connectTimeout = fbkit::defaultConnectTimeout;
    std::int64_t blobSize = -1;
};

class FbSession {
public:
    explicit FbSession(std::shared_ptr<const FbApi> api);
    FbSession(const FbSession&) = delete;
    FbSession& operator=(const FbSession&) = delete;

    // The connection's calls, with its statuses and error text.
    [[nodiscard]] dbx::Status setOption(dbx::ConnectionOption option, std::int64_t value);
    [[nodiscard]] dbx::Status setOption(dbx::ConnectionOption option, const std::string& value);
    [[nodiscard]] dbx::Status connect(const std::string& database, const std::string& user, const std::string& password);
    [[nodiscard]] dbx::Status disconnect();
    [[nodiscard]] dbx::Status beginTransaction(int transactionId, dbx::Isolation isolation, dbx::Access access);
    [[nodiscard]] dbx::Status endExplicit(int transactionId, bool commit);
    ErrorState& error() { return error_; }

    // For the statements of this session.
    const std::shared_ptr<const FbApi>& api() const { return api_; }
    bool connected() const { return static_cast<bool>(attachment_); }
    isc_db_handle* database() { return attachment_.out(); }
    const ConnectionOptions& options() const { return options_; }
    // The transaction a statement runs in: the explicit one or the one kept while
    // automatic commit is off, else a new one started into `own` (read-only for a
    // query, which changes nothing), which the caller commits when the statement is
    // done. A failure to start one is the error of the caller's object.
    [[nodiscard]] dbx::Status statementTransaction(fbkit::TransactionHandle& own, bool readOnly, ClientCalls& client,
                                                   isc_tr_handle*& transaction);
    // The explicit or kept transaction, if there is one.
    isc_tr_handle* activeTransaction();
    // Each statement is released before a disconnect.
    void track(const std::shared_ptr<FbStatement>& statement);
    // The parameters of a statement text described before on this attachment, if any:
    // a text prepared again (every insert, every removal of a row without nulls) is not
    // described again. A column altered meanwhile by another attachment is seen at the
    // next connect.
    const std::vector<ParameterShape>* describedParameters(const std::string& sql) const;
    const std::vector<ParameterShape>& rememberParameters(const std::string& sql, std::vector<ParameterShape> shapes);

private:
    [[nodiscard]] dbx::Status applyOption(dbx::ConnectionOption option, std::int64_t value);
    [[nodiscard]] dbx::Status startTransaction(fbkit::TransactionHandle& handle, dbx::Isolation isolation, bool readOnly,
                                               ClientCalls& client);
    std::string attachmentName(const std::string& database) const;

    std::shared_ptr<const FbApi> api_;
    ConnectionOptions options_;
    ErrorState error_;
    fbkit::AttachmentHandle attachment_;
    fbkit::TransactionHandle explicit_;
    int explicitId_ = 0;
    bool explicitActive_ = false;
    bool explicitReadOnly_ = false;
    // A transaction kept alive by a retaining commit; the next explicit one continues it.
    fbkit::TransactionHandle retained_;
    dbx::Isolation retainedIsolation_ = dbx::Isolation::ReadCommitted;
    // With automatic commit off: the work done outside explicit transactions.
    fbkit::TransactionHandle pending_;
    std::vector<std::weak_ptr<FbStatement>> statements_;
    std::unordered_map<std::string, std::vector<ParameterShape>> parameterShapes_;
};

} // namespace dbxfb
