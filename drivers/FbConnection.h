#pragma once
#include "FbApi.h"
#include "FbError.h"
#include "fbkit/Handle.h"
#include "dbx.h"

#include <memory>
#include <string>
#include <vector>

namespace dbxfb {

class FbCommand;
class FbMetaData;

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
    int connectTimeout = 0;
    std::int64_t blobSize = -1;
};

class FbConnection final : public dbx::ISQLConnection {
public:
    explicit FbConnection(std::shared_ptr<const FbApi> api);
    ~FbConnection() override;

    dbx::Status setOption(dbx::ConnectionOption option, std::int64_t value) override;
    dbx::Status setOption(dbx::ConnectionOption option, const std::string& value) override;
    dbx::Status connect(const std::string& database, const std::string& user, const std::string& password) override;
    dbx::Status disconnect() override;
    dbx::Status getMaxActiveStatements(int& count) override;
    dbx::Status getMetaData(dbx::ISQLMetaData*& metaData) override;
    dbx::Status createCommand(std::unique_ptr<dbx::ISQLCommand>& command) override;
    dbx::Status beginTransaction(int transactionId, dbx::Isolation isolation, dbx::Access access) override;
    dbx::Status commit(int transactionId) override;
    dbx::Status rollback(int transactionId) override;
    dbx::Status getErrorMessage(std::string& text) override;

    // For the commands of this connection.
    bool connected() const { return static_cast<bool>(attachment_); }
    isc_db_handle* database() { return attachment_.out(); }
    const ConnectionOptions& options() const { return options_; }
    // The transaction a statement runs in: the explicit one or the one kept while
    // automatic commit is off, else a new one started into `own` (read-only for a
    // query, which changes nothing), which the caller commits when the statement is
    // done. Null on failure, with `status` filled in.
    isc_tr_handle* statementTransaction(fbkit::TransactionHandle& own, bool readOnly, ISC_STATUS* status);
    // The explicit or kept transaction, if there is one.
    isc_tr_handle* activeTransaction();
    void attach(FbCommand* command);
    void detach(FbCommand* command);
    // Statement handles of commands gone, kept for the next ones: a handle is prepared
    // again as it is, which saves allocating and freeing one for every statement.
    fbkit::StatementHandle takeStatement();
    void keepStatement(fbkit::StatementHandle statement);

private:
    dbx::Status applyOption(dbx::ConnectionOption option, std::int64_t value);
    bool startTransaction(fbkit::TransactionHandle& handle, dbx::Isolation isolation, bool readOnly, ISC_STATUS* status);
    std::string attachmentName(const std::string& database) const;
    dbx::Status endExplicit(int transactionId, bool commit);

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
    std::vector<FbCommand*> commands_;
    std::vector<fbkit::StatementHandle> spareStatements_;
    std::unique_ptr<FbMetaData> metaData_;
};

} // namespace dbxfb
