#pragma once
// The link between a result set and the controls that show it.
#include "data/resultset/Components.h"

#include <QObject>

namespace kordane {

class ClientDataSet;

class DataSource : public QObject, public Component {
    Q_OBJECT
public:
    DataSource(QString name, ClientDataSet& dataSet, QObject* parent = nullptr);

    ClientDataSet& dataSet() const { return dataSet_; }
    // Typing in a bound control starts an edit of the current row.
    bool autoEdit() const { return true; }

private:
    ClientDataSet& dataSet_;
};

} // namespace kordane
