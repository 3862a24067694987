#include "data/resultset/DataSource.h"

#include "data/resultset/ClientDataSet.h"

namespace kordane {

DataSource::DataSource(QString name, ClientDataSet& dataSet, QObject* parent)
    : QObject(parent)
    , Component(std::move(name))
    , dataSet_(dataSet)
{
    setObjectName(this->name());
}

} // namespace kordane
