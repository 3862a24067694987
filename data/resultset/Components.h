#pragma once
// What the data layer's objects have in common: a name, which their errors start with.
#include <QString>

namespace kordane {

// A named object of the data layer.
class Component {
public:
    explicit Component(QString name)
        : name_(std::move(name))
    {
    }
    virtual ~Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const QString& name() const { return name_; }

private:
    QString name_;
};

} // namespace kordane
