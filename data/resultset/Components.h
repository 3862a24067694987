#pragma once
// The window's components by name: the result set finds its provider here.
#include <QString>

#include <vector>

namespace kordane {

// Anything the window lists by name.
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

// Does not own its entries; the window does, and outlives the list's users.
class ComponentList {
public:
    void add(Component& component) { components_.push_back(&component); }
    void remove(const Component& component) { std::erase(components_, &component); }

    // nullptr when no component has that name (names compare without regard to case).
    Component* find(const QString& name) const
    {
        for (Component* component : components_)
            if (component->name().compare(name, Qt::CaseInsensitive) == 0)
                return component;
        return nullptr;
    }

private:
    std::vector<Component*> components_;
};

} // namespace kordane
