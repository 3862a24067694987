#include "drivers/FbSession.h"

#include "drivers/FbStatement.h"
#include "drivers/fbkit/ParameterBuffer.h"

namespace dbxfb {

using namespace dbx;

namespace {

// "host:path", "host/port:path" and "inet://..." name a server; "C:\..." is a drive.
bool hasServerPart(const std::string& database)
{
    if (database.find("://") != std::string::npos)
        return true;
    const auto colon = database.find(':');
    if (colon == std::string::npos)
        return false;
    const bool driveLetter = colon == 1 && database.size() > 2 && (database[2] == '\\' || database[2] == '/');
    return !driveLetter;
}

} // namespace

FbSession::FbSession(std::shared_ptr<const FbApi> api)
    : api_(std::move(api))
    , attachment_(api_.get())
    , explicit_(api_.get())
    , retained_(api_.get())
    , pending_(api_.get())
{
}

Status FbSession::setOption(ConnectionOption option, std::int64_t value)
{
    return error_.guarded([&]() -> Status { return applyOption(option, value); });
}

Status FbSession::applyOption(ConnectionOption option, std::int64_t value)
{
    switch (option) {
    case ConnectionOption::WaitOnLocks: options_.waitOnLocks = value != 0; break;
    case ConnectionOption::CommitRetain: options_.commitRetain = value != 0; break;
    case ConnectionOption::AutoCommit: options_.autoCommit = value != 0; break;
    case ConnectionOption::TrimChar: options_.trimChar = value != 0; break;
    case ConnectionOption::BlobSize: options_.blobSize = value; break;
    case ConnectionOption::TransIsolation:
        if (value < 0 || value > static_cast<std::int64_t>(Isolation::DirtyRead))
            return error_.fail(DBXERR_INVALIDXISOLEVEL, "Unknown transaction isolation " + std::to_string(value));
        options_.isolation = static_cast<Isolation>(value);
        break;
    case ConnectionOption::SqlDialect:
        if (value != 1 && value != 3)
            return error_.fail(DBXERR_INVALIDPARAM, "SQL dialect " + std::to_string(value) + " is not supported");
        options_.sqlDialect = static_cast<int>(value);
        break;
    case ConnectionOption::ConnectTimeout:
        if (value < 0 || value > 0xFFFFFFFFLL)
            return error_.fail(DBXERR_INVALIDPARAM, "Invalid connect time-out " + std::to_string(value));
        options_.connectTimeout = static_cast<int>(value);
        break;
    // No counterpart in Firebird: the client blocks, authenticates by password, and
    // runs one transaction at a time for this driver.
    case ConnectionOption::BlockingMode:
    case ConnectionOption::OSAuthentication:
    case ConnectionOption::MultipleTransaction:
        break;
    default:
        return error_.fail(DBXERR_INVALIDPARAM, "The option takes a text");
    }
    return DBXERR_NONE;
}

Status FbSession::setOption(ConnectionOption option, const std::string& value)
{
    return error_.guarded([&]() -> Status {
        switch (option) {
        case ConnectionOption::HostName: options_.hostName = value; break;
        case ConnectionOption::ServerPort: options_.serverPort = value; break;
        case ConnectionOption::RoleName: options_.roleName = value; break;
        case ConnectionOption::ServerCharSet: options_.serverCharSet = value; break;
        case ConnectionOption::CustomString: break; // nothing in Firebird to give it to
        default: return error_.fail(DBXERR_INVALIDPARAM, "The option takes a number");
        }
        return DBXERR_NONE;
    });
}

std::string FbSession::attachmentName(const std::string& database) const
{
    if (options_.hostName.empty() || hasServerPart(database))
        return database;
    std::string server = options_.hostName;
    if (!options_.serverPort.empty())
        server += '/' + options_.serverPort;
    return server + ':' + database;
}

Status FbSession::connect(const std::string& database, const std::string& user, const std::string& password)
{
    return error_.guarded([&]() -> Status {
        if (connected())
            return error_.fail(DBXERR_INVALIDHNDL, "The connection is already open");
        fbkit::ParameterBuffer dpb(isc_dpb_version1);
        bool fits = dpb.addText(isc_dpb_user_name, user) && dpb.addText(isc_dpb_password, password);
        if (!options_.roleName.empty())
            fits = fits && dpb.addText(isc_dpb_sql_role_name, options_.roleName);
        if (!options_.serverCharSet.empty())
            fits = fits && dpb.addText(isc_dpb_lc_ctype, options_.serverCharSet);
        if (!fits)
            return error_.fail(DBXERR_INVALIDLEN, "A login value is longer than 255 bytes");
        dpb.addByte(isc_dpb_sql_dialect, static_cast<char>(options_.sqlDialect));
        fbkit::addProcessName(dpb);
        fbkit::addConnectTimeout(dpb, options_.connectTimeout);

        const std::string name = attachmentName(database);
        if (name.size() > 32767)
            return error_.fail(DBXERR_INVALIDLEN, "The database name is too long");
        ClientCalls client(*api_, error_);
        const auto started = std::chrono::steady_clock::now();
        if (const Status failed = client(&fbkit::Client::attachDatabase, static_cast<short>(name.size()), name.c_str(),
                                         attachment_.out(), static_cast<short>(dpb.size()), dpb.data())) {
            attachment_.forget();
            if (fbkit::unanswered(client.status(), std::chrono::steady_clock::now() - started, options_.connectTimeout))
                error_.reword(fbkit::unansweredText(name, options_.connectTimeout));
            return failed;
        }
        return DBXERR_NONE;
    });
}

Status FbSession::disconnect()
{
    return error_.guarded([&]() -> Status {
        for (const std::weak_ptr<FbStatement>& tracked : statements_)
            if (const auto statement = tracked.lock())
                statement->release();
        parameterShapes_.clear();
        explicit_.reset();
        explicitActive_ = false;
        pending_.reset();
        // A retained context holds no work of its own any more: its commit has been made.
        fbkit::endQuietly(*api_, retained_);
        if (!connected())
            return DBXERR_NONE;
        ClientCalls client(*api_, error_);
        const Status detached = client(&fbkit::Client::detachDatabase, attachment_.out());
        attachment_.forget();
        return detached;
    });
}

Status FbSession::startTransaction(fbkit::TransactionHandle& handle, Isolation isolation, bool readOnly, ClientCalls& client)
{
    // Firebird has no dirty read; read committed is the nearest it offers.
    const auto tpb = fbkit::transactionParameters(readOnly, isolation == Isolation::RepeatableRead, options_.waitOnLocks);
    const Status started = client(&fbkit::Client::startTransaction, handle.out(), 1, attachment_.out(), tpb.size(), tpb.data());
    if (started)
        handle.forget();
    return started;
}

isc_tr_handle* FbSession::activeTransaction()
{
    if (explicitActive_)
        return explicit_.out();
    return pending_ ? pending_.out() : nullptr;
}

Status FbSession::statementTransaction(fbkit::TransactionHandle& own, bool readOnly, ClientCalls& client,
                                       isc_tr_handle*& transaction)
{
    transaction = activeTransaction();
    if (transaction)
        return DBXERR_NONE;
    if (options_.autoCommit) {
        own = fbkit::TransactionHandle(api_.get());
        if (const Status failed = startTransaction(own, options_.isolation, readOnly, client))
            return failed;
        transaction = own.out();
        return DBXERR_NONE;
    }
    // Without automatic commit the work is kept pending in one transaction that may write.
    if (!pending_)
        if (const Status failed = startTransaction(pending_, options_.isolation, false, client))
            return failed;
    transaction = pending_.out();
    return DBXERR_NONE;
}

void FbSession::track(const std::shared_ptr<FbStatement>& statement)
{
    std::erase_if(statements_, [](const std::weak_ptr<FbStatement>& tracked) { return tracked.expired(); });
    statements_.push_back(statement);
}

const std::vector<ParameterShape>* FbSession::describedParameters(const std::string& sql) const
{
    const auto it = parameterShapes_.find(sql);
    return it == parameterShapes_.end() ? nullptr : &it->second;
}

const std::vector<ParameterShape>& FbSession::rememberParameters(const std::string& sql, std::vector<ParameterShape> shapes)
{
    // Removals of rows with nulls in different places each have a text of their own.
    constexpr std::size_t remembered = 64;
    if (parameterShapes_.size() >= remembered)
        parameterShapes_.clear();
    return parameterShapes_.insert_or_assign(sql, std::move(shapes)).first->second;
}

Status FbSession::beginTransaction(int transactionId, Isolation isolation, Access access)
{
    return error_.guarded([&]() -> Status {
        if (!connected())
            return error_.fail(DBXERR_INVALIDHNDL, "The connection is not open");
        if (explicitActive_ || pending_)
            return error_.fail(DBXERR_LOCALTRANSACTIVE, "A transaction is already active");
        if (isolation != Isolation::ReadCommitted && isolation != Isolation::RepeatableRead
            && isolation != Isolation::DirtyRead)
            return error_.fail(DBXERR_INVALIDXISOLEVEL, "Unknown transaction isolation");
        ClientCalls client(*api_, error_);
        // Dirty read is read committed in Firebird, so only repeatable read differs.
        const auto snapshot = [](Isolation i) { return i == Isolation::RepeatableRead; };
        const bool readOnly = access == Access::ReadOnly;
        // A retained transaction may write, so a read-only one never continues it.
        if (retained_ && !readOnly && snapshot(retainedIsolation_) == snapshot(isolation)) {
            explicit_ = std::move(retained_);
        } else {
            fbkit::endQuietly(*api_, retained_);
            if (const Status failed = startTransaction(explicit_, isolation, readOnly, client))
                return failed;
        }
        explicitId_ = transactionId;
        explicitActive_ = true;
        explicitReadOnly_ = readOnly;
        retainedIsolation_ = isolation;
        return DBXERR_NONE;
    });
}

Status FbSession::endExplicit(int transactionId, bool commit)
{
    return error_.guarded([&]() -> Status {
        if (!explicitActive_ || transactionId != explicitId_)
            return error_.fail(DBXERR_INVALIDTXNID, "No transaction " + std::to_string(transactionId) + " is active");
        ClientCalls client(*api_, error_);
        if (commit && options_.commitRetain && !explicitReadOnly_) {
            if (const Status failed = client(&fbkit::Client::commitRetaining, explicit_.out()))
                return failed;
            retained_ = std::move(explicit_);
        } else if (commit) {
            // A failed commit leaves the transaction active, for the caller to roll back.
            if (const Status failed = client(&fbkit::Client::commitTransaction, explicit_.out()))
                return failed;
            explicit_.forget();
        } else {
            explicitActive_ = false;
            const Status rolledBack = client(&fbkit::Client::rollbackTransaction, explicit_.out());
            explicit_.forget();
            if (rolledBack)
                return rolledBack;
        }
        explicitActive_ = false;
        return DBXERR_NONE;
    });
}

} // namespace dbxfb
