#include "drivers/FbCommand.h"

#include "drivers/FbCursor.h"
#include "drivers/fbkit/InfoBuffer.h"

#include <algorithm>
#include <string_view>

namespace dbxfb {

using namespace dbx;

namespace {

constexpr std::size_t maxTextLength = 32767;

bool isText(short type)
{
    return type == SQL_TEXT || type == SQL_VARYING;
}

// An ASCII letter: the words looked for are keywords, and the C locale's test costs a
// call a character.
bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool sameWord(std::string_view word, std::string_view upper)
{
    return word.size() == upper.size() && std::equal(word.begin(), word.end(), upper.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
           });
}

// Whether the text reads as a query that changes nothing: its first word SELECT or WITH,
// and no word LOCK anywhere (a query that locks its rows writes). Such a statement runs
// in a read-only transaction; any other, or one in doubt, in one that may write. Read in
// place: every statement passes here.
bool readsOnly(std::string_view sql)
{
    bool first = true;
    for (std::size_t i = 0; i < sql.size();) {
        if (!isLetter(sql[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < sql.size() && isLetter(sql[end]))
            ++end;
        const std::string_view word = sql.substr(i, end - i);
        if (first ? !sameWord(word, "SELECT") && !sameWord(word, "WITH") : sameWord(word, "LOCK"))
            return false;
        first = false;
        i = end;
    }
    return !first;
}

} // namespace

FbCommand::FbCommand(std::shared_ptr<FbSession> session)
    : api_(session->api())
    , statement_(std::make_shared<FbStatement>(std::move(session)))
{
    this->session().track(statement_);
}

FbCommand::~FbCommand()
{
    // A result still held is closed, and the handle goes with the command: the data layer
    // keeps the commands it is done with for its next statements.
    statement_->release();
}

Status FbCommand::endPreparedIn(ClientCalls& client)
{
    fbkit::TransactionHandle& preparedIn = statement_->own;
    if (!preparedIn)
        return DBXERR_NONE;
    const Status committed = client(&fbkit::Client::commitTransaction, preparedIn.out());
    if (committed)
        preparedIn.reset();
    else
        preparedIn.forget();
    return committed;
}

Status FbCommand::setRowsetSize(int)
{
    // The client fetches in batches of its own choosing; nothing to tell it.
    return DBXERR_NONE;
}

Status FbCommand::prepare(const std::string& sql, int parameterCount)
{
    return error_.guarded([&]() -> Status {
        if (!session().connected())
            return error_.fail(DBXERR_INVALIDHNDL, "The connection is not open");
        FbStatement& statement = *statement_;
        statement.closeResult();
        statement.prepared = false;
        rowsAffected_ = 0;
        rowsPending_ = false;
        if (sql.size() > 65535)
            return error_.fail(DBXERR_INVALIDLEN, "The statement is longer than 65535 bytes");
        ClientCalls client(*api_, error_);
        if (const Status failed = endPreparedIn(client))
            return failed;
        if (!statement.handle)
            if (const Status failed = client(&fbkit::Client::allocateStatement, session().database(), statement.handle.out())) {
                statement.handle.forget();
                return failed;
            }
        // Prepared in the transaction that will execute it: the caller's, or one of its
        // own that the execute takes over.
        readOnly_ = readsOnly(sql);
        fbkit::TransactionHandle own(api_.get());
        isc_tr_handle* transaction = nullptr;
        if (const Status failed = session().statementTransaction(own, readOnly_, client, transaction))
            return failed;
        statement.output.clear();
        if (const Status failed = client(&fbkit::Client::prepare, transaction, statement.handle.out(),
                                         static_cast<unsigned short>(sql.size()), sql.data(),
                                         static_cast<unsigned short>(session().options().sqlDialect), statement.output.get()))
            return failed;
        if (const Status described = describe(client, sql, parameterCount > 0))
            return described;
        statement.own = std::move(own);
        statement.prepared = true;
        return DBXERR_NONE;
    });
}

// One describe of each kind at most: the descriptors start with room for every statement
// of the program, and only a wider one is described again, sized. A statement without
// markers needs no describe of its parameters.
Status FbCommand::describe(ClientCalls& client, const std::string& sql, bool parameters)
{
    fbkit::Sqlda& output = statement_->output;
    if (const Status failed = client.check(fbkit::describeWhole(*api_, client.status(), statement_->handle.out(), output, false)))
        return failed;
    // Only a statement with columns may give a cursor, and a query's text says it is one;
    // any other's type comes with its counts after the execute.
    statementType_ = readOnly_ && output.count() > 0 ? isc_info_sql_stmt_select : 0;
    if (!statementType_ && output.count() > 0)
        if (const Status failed = readStatementType(client))
            return failed;
    parameters_.clear();
    input_.clear();
    if (parameters)
        if (const Status described = describeParameters(client, sql))
            return described;
    layOutRow();
    return DBXERR_NONE;
}

Status FbCommand::describeParameters(ClientCalls& client, const std::string& sql)
{
    const std::vector<ParameterShape>* shapes = session().describedParameters(sql);
    if (!shapes) {
        isc_stmt_handle* handle = statement_->handle.out();
        if (const Status failed = client(&fbkit::Client::describeBind, handle, SQLDA_VERSION1, input_.get()))
            return failed;
        if (const Status failed = client.check(fbkit::describeWhole(*api_, client.status(), handle, input_, true)))
            return failed;
        std::vector<ParameterShape> described(static_cast<std::size_t>(input_.count()));
        for (int i = 0; i < input_.count(); ++i) {
            ParameterShape& shape = described[static_cast<std::size_t>(i)];
            shape.type = static_cast<short>(input_[i].sqltype & ~1);
            shape.length = input_[i].sqllen;
            // A text keeps the character set it was described with; any other value is
            // sent as plain text for the server to convert.
            shape.subType = isText(shape.type) ? input_[i].sqlsubtype : 0;
        }
        shapes = &session().rememberParameters(sql, std::move(described));
    }
    const auto count = static_cast<short>(shapes->size());
    if (input_.capacity() < count)
        input_.resize(count);
    input_.get()->sqld = count;
    // Cleared, as a fresh descriptor is: what a statement described before left here is
    // not this one's, and the bind sets only what it sends.
    for (short i = 0; i < count; ++i)
        input_[i] = XSQLVAR {};
    parameters_.resize(shapes->size());
    for (std::size_t i = 0; i < shapes->size(); ++i)
        parameters_[i].shape = (*shapes)[i];
    return DBXERR_NONE;
}

void FbCommand::layOutRow()
{
    FbStatement& statement = *statement_;
    const int columns = statement.output.count();
    std::size_t bytes = 0;
    std::vector<std::size_t> offsets(static_cast<std::size_t>(columns));
    statement.nullable.assign(static_cast<std::size_t>(columns), true);
    for (int i = 0; i < columns; ++i) {
        const XSQLVAR& var = statement.output[i];
        offsets[static_cast<std::size_t>(i)] = bytes;
        std::size_t size = static_cast<std::size_t>(var.sqllen) + ((var.sqltype & ~1) == SQL_VARYING ? 2 : 0);
        bytes += (size + 7) / 8 * 8;
    }
    statement.row.assign(bytes / 8 + 1, 0);
    statement.indicators.assign(static_cast<std::size_t>(columns), 0);
    auto* base = reinterpret_cast<char*>(statement.row.data());
    for (int i = 0; i < columns; ++i) {
        XSQLVAR& var = statement.output[i];
        statement.nullable[static_cast<std::size_t>(i)] = (var.sqltype & 1) != 0;
        var.sqltype = static_cast<short>(var.sqltype | 1); // always ask for the null indicator
        var.sqldata = base + offsets[static_cast<std::size_t>(i)];
        var.sqlind = &statement.indicators[static_cast<std::size_t>(i)];
    }
}

Status FbCommand::readStatementType(ClientCalls& client)
{
    const char item = isc_info_sql_stmt_type;
    char buffer[16];
    if (const Status failed = client(&fbkit::Client::sqlInfo, statement_->handle.out(), 1, &item, sizeof buffer, buffer))
        return failed;
    statementType_ = 0;
    fbkit::InfoBuffer info(buffer, sizeof buffer);
    info.forEach([&](char code, std::int64_t value) {
        if (code == isc_info_sql_stmt_type)
            statementType_ = static_cast<int>(value);
    });
    return DBXERR_NONE;
}

// The statement's type and the rows it touched, in one request.
Status FbCommand::readRowsAffected(ClientCalls& client)
{
    rowsAffected_ = 0;
    const char items[] = {isc_info_sql_stmt_type, isc_info_sql_records};
    char buffer[80];
    if (const Status failed = client(&fbkit::Client::sqlInfo, statement_->handle.out(), static_cast<short>(sizeof items),
                                     items, static_cast<short>(sizeof buffer), buffer))
        return failed;
    std::int64_t inserted = 0, updated = 0, deleted = 0;
    fbkit::InfoBuffer info(buffer, sizeof buffer);
    info.forEach([&](char code, const char* data, std::size_t length) {
        if (code == isc_info_sql_stmt_type)
            statementType_ = static_cast<int>(fbkit::InfoBuffer::integer(data, length));
        if (code != isc_info_sql_records)
            return;
        fbkit::InfoBuffer(data, length).forEach([&](char count, std::int64_t value) {
            if (count == isc_info_req_insert_count)
                inserted = value;
            else if (count == isc_info_req_update_count)
                updated = value;
            else if (count == isc_info_req_delete_count)
                deleted = value;
        });
    });
    switch (statementType_) {
    case isc_info_sql_stmt_insert: rowsAffected_ = inserted; break;
    case isc_info_sql_stmt_update: rowsAffected_ = updated; break;
    case isc_info_sql_stmt_delete: rowsAffected_ = deleted; break;
    default: break;
    }
    return DBXERR_NONE;
}

Status FbCommand::parameter(int index, Parameter*& found)
{
    if (!statement_->prepared)
        return error_.fail(DBXERR_INVALIDHNDL, "The statement is not prepared");
    if (index < 1 || static_cast<std::size_t>(index) > parameters_.size())
        return error_.fail(DBXERR_OUTOFRANGE, "Parameter " + std::to_string(index) + " out of range");
    found = &parameters_[static_cast<std::size_t>(index - 1)];
    return DBXERR_NONE;
}

Status FbCommand::setTextParameter(int index, const char* data, std::size_t length)
{
    return error_.guarded([&]() -> Status {
        Parameter* p = nullptr;
        if (const Status bad = parameter(index, p))
            return bad;
        const std::size_t limit = isText(p->shape.type) ? static_cast<std::size_t>(p->shape.length) : maxTextLength;
        if (length > limit)
            return error_.fail(DBXERR_INVALIDLEN, "Parameter " + std::to_string(index) + ": text of " + std::to_string(length) + " bytes is longer than " + std::to_string(limit));
        p->value.assign(data, length);
        p->indicator = 0;
        p->set = true;
        return DBXERR_NONE;
    });
}

Status FbCommand::setNullParameter(int index)
{
    return error_.guarded([&]() -> Status {
        Parameter* p = nullptr;
        if (const Status bad = parameter(index, p))
            return bad;
        p->value.clear();
        p->indicator = -1;
        p->set = true;
        return DBXERR_NONE;
    });
}

void FbCommand::bindParameters()
{
    for (int i = 0; i < input_.count(); ++i) {
        Parameter& p = parameters_[static_cast<std::size_t>(i)];
        XSQLVAR& var = input_[i];
        var.sqltype = SQL_TEXT | 1;
        var.sqlsubtype = p.shape.subType;
        var.sqlscale = 0;
        var.sqllen = static_cast<short>(p.value.size());
        var.sqldata = p.value.data();
        var.sqlind = &p.indicator;
    }
}

Status FbCommand::execute(std::unique_ptr<ISQLCursor>& cursor)
{
    return error_.guarded([&]() -> Status {
        cursor.reset();
        if (!session().connected())
            return error_.fail(DBXERR_INVALIDHNDL, "The connection is not open");
        FbStatement& statement = *statement_;
        if (!statement.prepared)
            return error_.fail(DBXERR_INVALIDHNDL, "The statement is not prepared");
        statement.closeResult();
        rowsAffected_ = 0;
        rowsPending_ = false;
        for (std::size_t i = 0; i < parameters_.size(); ++i)
            if (!parameters_[i].set)
                return error_.fail(DBXERR_SQLPARAMNOTSET, "No value for parameter " + std::to_string(i + 1));
        bindParameters();

        ClientCalls client(*api_, error_);
        // The transaction the prepare began is this execute's, unless the caller has
        // begun one of its own since.
        if (session().activeTransaction())
            if (const Status failed = endPreparedIn(client))
                return failed;
        fbkit::TransactionHandle own = std::move(statement.own);
        isc_tr_handle* transaction = own ? own.out() : nullptr;
        if (!transaction)
            if (const Status failed = session().statementTransaction(own, readOnly_, client, transaction))
                return failed;
        if (const Status failed = client(&fbkit::Client::execute, transaction, statement.handle.out(), SQLDA_VERSION1,
                                         input_.count() ? input_.get() : nullptr))
            return failed;

        const bool query = statement.output.count() > 0
            && (statementType_ == isc_info_sql_stmt_select || statementType_ == isc_info_sql_stmt_select_for_upd);
        if (query) {
            isc_tr_handle* shared = own ? nullptr : transaction;
            statement.own = std::move(own);
            cursor = std::make_unique<FbCursor>(statement_, statement.openResult(), shared);
            return DBXERR_NONE;
        }
        // The counts are asked for only by a caller that reads them: on a server the
        // request is a round trip of its own.
        rowsPending_ = true;
        if (own) {
            if (const Status failed = client(&fbkit::Client::commitTransaction, own.out()))
                return failed;
            own.forget();
        }
        return DBXERR_NONE;
    });
}

Status FbCommand::getRowsAffected(std::int64_t& rows)
{
    return error_.guarded([&]() -> Status {
        if (rowsPending_) {
            rowsPending_ = false;
            ClientCalls client(*api_, error_);
            if (const Status failed = readRowsAffected(client))
                return failed;
        }
        rows = rowsAffected_;
        return DBXERR_NONE;
    });
}

Status FbCommand::getErrorMessage(std::string& text)
{
    return error_.report(text);
}

Status FbCommand::getServerError(ServerError& error)
{
    return error_.report(error);
}

} // namespace dbxfb
