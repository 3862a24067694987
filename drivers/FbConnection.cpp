#include "drivers/FbConnection.h"

#include "drivers/FbCommand.h"

namespace dbxfb {

using namespace dbx;

FbConnection::FbConnection(std::shared_ptr<const FbApi> api)
    : session_(std::make_shared<FbSession>(std::move(api)))
{
}

FbConnection::~FbConnection()
{
    // Nothing to do about a failure here: the session ends either way.
    (void)session_->disconnect();
}

Status FbConnection::setOption(ConnectionOption option, std::int64_t value)
{
    return session_->setOption(option, value);
}

Status FbConnection::setOption(ConnectionOption option, const std::string& value)
{
    return session_->setOption(option, value);
}

Status FbConnection::connect(const std::string& database, const std::string& user, const std::string& password)
{
    return session_->connect(database, user, password);
}

Status FbConnection::disconnect()
{
    return session_->disconnect();
}

Status FbConnection::getMaxActiveStatements(int& count)
{
    count = 0;
    return DBXERR_NONE;
}

Status FbConnection::getMetaData(ISQLMetaData*& metaData)
{
    return session_->error().guarded([&]() -> Status {
        if (!metaData_)
            metaData_ = std::make_unique<FbMetaData>(*session_);
        metaData = metaData_.get();
        return DBXERR_NONE;
    });
}

Status FbConnection::createCommand(std::unique_ptr<ISQLCommand>& command)
{
    return session_->error().guarded([&]() -> Status {
        if (!session_->connected())
            return session_->error().fail(DBXERR_INVALIDHNDL, "The connection is not open");
        command = std::make_unique<FbCommand>(session_);
        return DBXERR_NONE;
    });
}

Status FbConnection::beginTransaction(int transactionId, Isolation isolation, Access access)
{
    return session_->beginTransaction(transactionId, isolation, access);
}

Status FbConnection::commit(int transactionId)
{
    return session_->endExplicit(transactionId, true);
}

Status FbConnection::rollback(int transactionId)
{
    return session_->endExplicit(transactionId, false);
}

Status FbConnection::getErrorMessage(std::string& text)
{
    return session_->error().report(text);
}

Status FbConnection::getServerError(ServerError& error)
{
    return session_->error().report(error);
}

} // namespace dbxfb
