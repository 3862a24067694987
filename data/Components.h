#pragma once
// The window's components by name: the result set finds its provider here.
#include <QString>

#include <vector>

namespace kordane {

// Anything the window lists by name.
class TComponent {
public:
    explicit TComponent(QString name) : name_(std::move(name)) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const QString& name() const { return name_; }

private:
    QString name_;
};

// Does not own its entries; the window does, and outlives the list's users.
class TComponentList {
public:
    void add(TComponent& component) { components_.push_back(&component); }
    void remove(const TComponent& component) { std::erase(components_, &component); }

    // nullptr when no component has that name (names compare without regard to case).
    TComponent* find(const QString& name) const
    {
        for (TComponent* component : components_)
            if (component->name().compare(name, Qt::CaseInsensitive) == 0)
                return component;
        return nullptr;
    }

private:
    std::vector<TComponent*> components_;
};

} // namespace kordane
