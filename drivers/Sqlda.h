#pragma once
// An XSQLDA with room for a given number of variables; by default for as many as any
// statement of the program has, so that the first describe fills it in whole.
#include <ibase.h>

#include <cstdint>
#include <vector>

namespace dbxfb {

class Sqlda {
public:
    static constexpr short defaultVariables = 32;

    Sqlda() { resize(defaultVariables); }
    void resize(short variables)
    {
        const std::size_t bytes = XSQLDA_LENGTH(variables < 1 ? 1 : variables);
        storage_.assign((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
        get()->version = SQLDA_VERSION1;
        get()->sqln = variables < 1 ? 1 : variables;
    }
    XSQLDA* get() { return reinterpret_cast<XSQLDA*>(storage_.data()); }
    const XSQLDA* get() const { return reinterpret_cast<const XSQLDA*>(storage_.data()); }
    short count() const { return get()->sqld; }
    short capacity() const { return get()->sqln; }
    XSQLVAR& operator[](int index) { return get()->sqlvar[index]; }
    const XSQLVAR& operator[](int index) const { return get()->sqlvar[index]; }

private:
    std::vector<std::uint64_t> storage_;
};

} // namespace dbxfb
