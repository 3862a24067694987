#pragma once
// One explicit transaction on the connection for a group of statements that must
// land together: rolled back unless commit() was reached. A read-only one is a
// consistent view for readers, ended by the rollback.
#include "data/sql/SqlConnection.h"

namespace kordane {

class TransactionScope {
public:
    explicit TransactionScope(SqlConnection& connection, int id = 1)
        : connection_(connection)
        , id_(id)
    {
        connection_.open();
        connection_.startTransaction(id_);
    }
    struct ReadOnly { };
    TransactionScope(SqlConnection& connection, ReadOnly, int id = 1)
        : connection_(connection)
        , id_(id)
    {
        connection_.open();
        connection_.startReadOnlyTransaction(id_);
    }
    ~TransactionScope()
    {
        if (active_) {
            try {
                connection_.rollback(id_);
            } catch (...) {
                // The statement's own error is the one the user must see; a lost
                // connection rolls the transaction back on the server anyway.
            }
        }
    }
    TransactionScope(const TransactionScope&) = delete;
    TransactionScope& operator=(const TransactionScope&) = delete;

    void commit()
    {
        connection_.commit(id_);
        active_ = false;
    }

private:
    SqlConnection& connection_;
    int id_;
    bool active_ = true;
};

} // namespace kordane
