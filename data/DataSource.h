#pragma once
// DataSource1: the link between the day result set and the grid.
#include "Components.h"

#include <QObject>

namespace kordane {

class TClientDataSet;

class TDataSource : public QObject, public TComponent {
    Q_OBJECT
public:
    TDataSource(QString name, TClientDataSet& dataSet, QObject* parent = nullptr);

    TClientDataSet& dataSet() const { return dataSet_; }
    // Typing in a bound control starts an edit of the current row.
    bool autoEdit() const { return autoEdit_; }
    void setAutoEdit(bool on) { autoEdit_ = on; }

private:
    TClientDataSet& dataSet_;
    bool autoEdit_ = true;
};

} // namespace kordane
