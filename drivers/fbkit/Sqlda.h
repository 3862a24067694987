#pragma once
// An XSQLDA with room for a given number of variables; by default for as many as any
// statement of the program has, so that the first describe fills it in whole.
#include "drivers/fbkit/Client.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace fbkit {

class Sqlda {
public:
    static constexpr short defaultVariables = 32;

    Sqlda()
        : Sqlda(defaultVariables)
    {
    }
    explicit Sqlda(short variables) { resize(variables); }
    // Room for `variables`, none described, every field zero: the client reads fields of
    // a descriptor it is given that a caller may not have set.
    void resize(short variables)
    {
        const short room = variables < 1 ? 1 : variables;
        const std::size_t words = (XSQLDA_LENGTH(room) + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
        storage_ = std::make_unique<std::uint64_t[]>(words);
        get()->version = SQLDA_VERSION1;
        get()->sqln = room;
    }
    // Before a statement is described into it again.
    void clear() { get()->sqld = 0; }
    XSQLDA* get() { return reinterpret_cast<XSQLDA*>(storage_.get()); }
    const XSQLDA* get() const { return reinterpret_cast<const XSQLDA*>(storage_.get()); }
    short count() const { return get()->sqld; }
    short capacity() const { return get()->sqln; }
    XSQLVAR& operator[](int index) { return get()->sqlvar[index]; }
    const XSQLVAR& operator[](int index) const { return get()->sqlvar[index]; }

private:
    std::unique_ptr<std::uint64_t[]> storage_;
};

// After a prepare or describe that found more variables than `sqlda` has room for: makes
// room for them all and describes the statement's columns, or its parameters, again.
// False on failure, with `status` filled in.
inline bool describeWhole(const Client& client, ISC_STATUS* status, isc_stmt_handle* statement, Sqlda& sqlda,
                          bool parameters)
{
    if (sqlda.count() <= sqlda.capacity())
        return true;
    sqlda.resize(sqlda.count());
    return client.succeeds(status, parameters ? &Client::describeBind : &Client::describe, statement, SQLDA_VERSION1,
                           sqlda.get());
}

// A fetched CHAR or VARCHAR value, where the client put it: a VARCHAR's bytes follow
// their two-byte length, a CHAR fills its declared length.
inline std::string_view fetchedText(const XSQLVAR& var)
{
    if ((var.sqltype & ~1) != SQL_VARYING)
        return {var.sqldata, static_cast<std::size_t>(var.sqllen)};
    unsigned short length;
    std::memcpy(&length, var.sqldata, sizeof length);
    return {var.sqldata + 2, length};
}

} // namespace fbkit
