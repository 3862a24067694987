#pragma once
// The parameter blocks the client takes when it attaches or starts a transaction: a
// version byte, then items, each a code and, for most, a one-byte length and its value.
#include <ibase.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fbkit {

class ParameterBuffer {
public:
    explicit ParameterBuffer(char version)
        : bytes_(1, version)
    {
    }

    // An item without a value (the transaction block's).
    void add(char item) { bytes_ += item; }
    // False, with nothing added, for a value longer than a length byte can say.
    bool addText(char item, std::string_view value)
    {
        if (value.size() > 255)
            return false;
        bytes_ += item;
        bytes_ += static_cast<char>(value.size());
        bytes_ += value;
        return true;
    }
    void addByte(char item, char value)
    {
        bytes_ += item;
        bytes_ += char(1);
        bytes_ += value;
    }
    void addInteger(char item, std::uint32_t value)
    {
        bytes_ += item;
        bytes_ += char(4);
        for (int i = 0; i < 4; ++i)
            bytes_ += static_cast<char>((value >> (8 * i)) & 0xFF);
    }

    const char* data() const { return bytes_.data(); }
    unsigned short size() const { return static_cast<unsigned short>(bytes_.size()); }

private:
    std::string bytes_;
};

// The program's path as the process name, as the network client names the process to a
// server: the embedded engine is told it too, so that an audit trail names the program
// that wrote, whichever way it reached the database. Nothing when it cannot be read.
inline void addProcessName(ParameterBuffer& dpb)
{
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (!error && !path.empty())
        (void)dpb.addText(isc_dpb_process_name, std::string_view(path).substr(0, 255));
}

// A transaction's block: read-only or not, a snapshot or read committed (seeing the last
// committed version of a record rather than waiting for it), waiting on locks or not.
inline ParameterBuffer transactionParameters(bool readOnly, bool snapshot, bool wait)
{
    ParameterBuffer tpb(isc_tpb_version3);
    tpb.add(readOnly ? isc_tpb_read : isc_tpb_write);
    if (snapshot) {
        tpb.add(isc_tpb_concurrency);
    } else {
        tpb.add(isc_tpb_read_committed);
        tpb.add(isc_tpb_rec_version);
    }
    tpb.add(wait ? isc_tpb_wait : isc_tpb_nowait);
    return tpb;
}

} // namespace fbkit
