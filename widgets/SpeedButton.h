#pragma once
// A command button that leaves the keyboard focus where it is: clicking it runs no
// field's leave handler, and the command reads the fields exactly as they stand.
#include <QPushButton>

namespace kordane {

class TSpeedButton : public QPushButton {
    Q_OBJECT
public:
    explicit TSpeedButton(QWidget* parent = nullptr);
    explicit TSpeedButton(const QString& caption, QWidget* parent = nullptr);
};

} // namespace kordane
