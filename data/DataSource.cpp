#include "DataSource.h"

#include "ClientDataSet.h"

namespace kordane {

TDataSource::TDataSource(QString name, TClientDataSet& dataSet, QObject* parent)
    : QObject(parent), TComponent(std::move(name)), dataSet_(dataSet)
{
    setObjectName(this->name());
}

} // namespace kordane
