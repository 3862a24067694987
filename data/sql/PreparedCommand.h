#pragma once
// A driver command prepared with a statement text. The connection keeps such commands
// prepared after their use, by their text, so that a statement run again (a removal's
// generated statement, an insert with markers, the same day's query) is only executed
// again: on a server each prepare and describe is a round trip.
#include "drivers/api/dbx.h"
#include <QString>

#include <memory>
#include <string>

namespace kordane {

struct PreparedCommand {
    QString source; // as written: what a statement run again is found by
    std::string text; // as sent, in the connection's character set
    int parameterCount = 0;
    // Taken from the kept ones: prepared before this use, perhaps before a definition
    // it uses changed.
    bool reused = false;
    std::unique_ptr<dbx::ISQLCommand> command;

    explicit operator bool() const { return command != nullptr; }
    dbx::ISQLCommand* operator->() const { return command.get(); }
    dbx::ISQLCommand& operator*() const { return *command; }
};

} // namespace kordane
