#include "RawFirebird.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

namespace kordane {

namespace {

std::string errorText(const ISC_STATUS* status)
{
    std::string text;
    char line[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(line, sizeof line, &cursor) > 0) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

void addText(std::string& dpb, char item, const std::string& value)
{
    if (value.size() > 255)
        throw std::runtime_error("connection parameter longer than 255 bytes");
    dpb += item;
    dpb += static_cast<char>(value.size());
    dpb += value;
}

// An XSQLDA for `n` columns.
struct Sqlda {
    explicit Sqlda(short n) : storage(new char[XSQLDA_LENGTH(n)]())
    {
        get()->version = SQLDA_VERSION1;
        get()->sqln = n;
    }
    XSQLDA* get() { return reinterpret_cast<XSQLDA*>(storage.get()); }
    std::unique_ptr<char[]> storage;
};

std::string readBlob(isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD id)
{
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    if (isc_open_blob2(status, db, tr, &blob, &id, 0, nullptr))
        throwOnError(status);
    std::string bytes;
    char segment[8192];
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS result = isc_get_segment(status, &blob, &got, sizeof segment, segment);
        if (result && result != isc_segment) {
            if (result == isc_segstr_eof)
                break;
            ISC_STATUS_ARRAY ignored;
            isc_close_blob(ignored, &blob);
            throwOnError(status);
        }
        bytes.append(segment, got);
    }
    isc_close_blob(status, &blob);
    return bytes;
}

} // namespace

void throwOnError(const ISC_STATUS* status)
{
    if (status[0] == 1 && status[1])
        throw std::runtime_error(errorText(status));
}

RawTransaction::RawTransaction(isc_db_handle* db)
{
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_wait};
    ISC_STATUS_ARRAY status;
    isc_start_transaction(status, &tr_, 1, db, static_cast<unsigned short>(sizeof tpb), tpb);
    throwOnError(status);
}

RawTransaction::~RawTransaction()
{
    if (tr_) {
        ISC_STATUS_ARRAY status;
        isc_rollback_transaction(status, &tr_);
    }
}

void RawTransaction::commit()
{
    ISC_STATUS_ARRAY status;
    isc_commit_transaction(status, &tr_);
    throwOnError(status);
    tr_ = 0;
}

RawStatement::RawStatement(isc_db_handle* db)
{
    ISC_STATUS_ARRAY status;
    isc_dsql_allocate_statement(status, db, &stmt_);
    throwOnError(status);
}

RawStatement::~RawStatement()
{
    if (stmt_) {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &stmt_, DSQL_drop);
    }
}

RawFirebird::RawFirebird(const std::string& database, const std::string& user, const std::string& password,
                         const std::string& charset)
{
    std::string dpb(1, char(isc_dpb_version1));
    addText(dpb, isc_dpb_user_name, user);
    addText(dpb, isc_dpb_password, password);
    if (!charset.empty())
        addText(dpb, isc_dpb_lc_ctype, charset);
    ISC_STATUS_ARRAY status;
    isc_attach_database(status, static_cast<short>(database.size()), database.c_str(), &db_,
                        static_cast<short>(dpb.size()), dpb.data());
    throwOnError(status);
}

RawFirebird RawFirebird::create(const std::string& database, const std::string& user, const std::string& password,
                                const std::string& defaultCharset)
{
    std::string sql = "CREATE DATABASE " + quoted(database) + " USER " + quoted(user) + " PASSWORD " + quoted(password)
        + " PAGE_SIZE 8192";
    if (!defaultCharset.empty())
        sql += " DEFAULT CHARACTER SET " + defaultCharset;
    RawFirebird created;
    isc_tr_handle tr = 0;
    ISC_STATUS_ARRAY status;
    isc_dsql_execute_immediate(status, &created.db_, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    throwOnError(status);
    return created;
}

RawFirebird::~RawFirebird()
{
    detach();
}

RawFirebird::RawFirebird(RawFirebird&& other) noexcept : db_(std::exchange(other.db_, 0)) {}

RawFirebird& RawFirebird::operator=(RawFirebird&& other) noexcept
{
    if (this != &other) {
        detach();
        db_ = std::exchange(other.db_, 0);
    }
    return *this;
}

void RawFirebird::detach() noexcept
{
    if (db_) {
        ISC_STATUS_ARRAY status;
        isc_detach_database(status, &db_);
        db_ = 0;
    }
}

void RawFirebird::execute(const std::vector<std::string>& statements)
{
    for (const std::string& sql : statements)
        execute(sql);
}

void RawFirebird::execute(std::initializer_list<std::string> statements)
{
    for (const std::string& sql : statements)
        execute(sql);
}

void RawFirebird::execute(const std::string& statement)
{
    executeTogether({statement});
}

void RawFirebird::executeTogether(const std::vector<std::string>& statements)
{
    RawTransaction tr(&db_);
    ISC_STATUS_ARRAY status;
    for (const std::string& sql : statements) {
        isc_dsql_execute_immediate(status, &db_, tr.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                                   SQL_DIALECT_V6, nullptr);
        throwOnError(status);
    }
    tr.commit();
}

void RawFirebird::executePrepared(const std::string& sql, const std::vector<Value>& params)
{
    executeEach(sql, {params});
}

void RawFirebird::executeEach(const std::string& sql, const std::vector<std::vector<Value>>& rows)
{
    RawTransaction tr(&db_);
    RawStatement stmt(&db_);
    ISC_STATUS_ARRAY status;
    isc_dsql_prepare(status, tr.handle(), stmt.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                     SQL_DIALECT_V6, nullptr);
    throwOnError(status);
    Sqlda in(1);
    isc_dsql_describe_bind(status, stmt.handle(), SQLDA_VERSION1, in.get());
    throwOnError(status);
    const short markers = in.get()->sqld;
    if (markers > in.get()->sqln) {
        in = Sqlda(markers);
        isc_dsql_describe_bind(status, stmt.handle(), SQLDA_VERSION1, in.get());
        throwOnError(status);
    }
    std::vector<short> nulls(static_cast<std::size_t>(markers));
    for (const std::vector<Value>& params : rows) {
        if (params.size() != static_cast<std::size_t>(markers))
            throw std::runtime_error("statement has " + std::to_string(markers) + " markers, not " +
                                     std::to_string(params.size()));
        // Every value goes as text; the server converts it to the column's type.
        for (short i = 0; i < markers; ++i) {
            XSQLVAR& var = in.get()->sqlvar[i];
            const Value& value = params[static_cast<std::size_t>(i)];
            nulls[static_cast<std::size_t>(i)] = value ? 0 : -1;
            var.sqltype = SQL_TEXT | 1;
            var.sqlsubtype = 0;
            var.sqlscale = 0;
            var.sqllen = value ? static_cast<short>(value->size()) : 0;
            var.sqldata = value ? const_cast<char*>(value->data()) : nullptr;
            var.sqlind = &nulls[static_cast<std::size_t>(i)];
        }
        isc_dsql_execute(status, tr.handle(), stmt.handle(), SQLDA_VERSION1, in.get());
        throwOnError(status);
    }
    tr.commit();
}

std::vector<RawFirebird::Row> RawFirebird::query(const std::string& sql)
{
    RawTransaction tr(&db_);
    RawStatement stmt(&db_);
    ISC_STATUS_ARRAY status;
    Sqlda out(1);
    isc_dsql_prepare(status, tr.handle(), stmt.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                     SQL_DIALECT_V6, out.get());
    throwOnError(status);
    const short columns = out.get()->sqld;
    if (columns > out.get()->sqln) {
        out = Sqlda(columns);
        isc_dsql_describe(status, stmt.handle(), SQLDA_VERSION1, out.get());
        throwOnError(status);
    }
    // Text stays as it is; the server turns every other value but a blob into text.
    std::vector<std::string> buffers(static_cast<std::size_t>(columns));
    std::vector<short> nulls(static_cast<std::size_t>(columns));
    for (short i = 0; i < columns; ++i) {
        XSQLVAR& var = out.get()->sqlvar[i];
        const short type = static_cast<short>(var.sqltype & ~1);
        if (type != SQL_TEXT && type != SQL_VARYING && type != SQL_BLOB) {
            var.sqltype = SQL_VARYING;
            var.sqllen = 64;
            var.sqlscale = 0;
            var.sqlsubtype = 0;
        }
        var.sqltype = static_cast<short>(var.sqltype | 1);
        buffers[static_cast<std::size_t>(i)].resize(static_cast<std::size_t>(var.sqllen) + 2);
        var.sqldata = buffers[static_cast<std::size_t>(i)].data();
        var.sqlind = &nulls[static_cast<std::size_t>(i)];
    }
    isc_dsql_execute(status, tr.handle(), stmt.handle(), SQLDA_VERSION1, nullptr);
    throwOnError(status);
    std::vector<Row> rows;
    for (;;) {
        const ISC_STATUS result = isc_dsql_fetch(status, stmt.handle(), SQLDA_VERSION1, out.get());
        if (result == 100)
            break;
        throwOnError(status);
        Row row;
        row.reserve(static_cast<std::size_t>(columns));
        for (short i = 0; i < columns; ++i) {
            const XSQLVAR& var = out.get()->sqlvar[i];
            if (*var.sqlind < 0) {
                row.emplace_back(std::nullopt);
                continue;
            }
            switch (var.sqltype & ~1) {
            case SQL_TEXT: row.emplace_back(std::string(var.sqldata, static_cast<std::size_t>(var.sqllen))); break;
            case SQL_VARYING: {
                unsigned short length;
                std::memcpy(&length, var.sqldata, sizeof length);
                row.emplace_back(std::string(var.sqldata + 2, length));
                break;
            }
            default: {
                ISC_QUAD id;
                std::memcpy(&id, var.sqldata, sizeof id);
                row.emplace_back(readBlob(&db_, tr.handle(), id));
            }
            }
        }
        rows.push_back(std::move(row));
    }
    isc_dsql_free_statement(status, stmt.handle(), DSQL_close);
    tr.commit();
    return rows;
}

void RawFirebird::drop()
{
    ISC_STATUS_ARRAY status;
    isc_drop_database(status, &db_);
    throwOnError(status);
    db_ = 0;
}

} // namespace kordane
