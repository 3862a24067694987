#pragma once
// The one place errors are shown. Every handler runs through guarded(), so an error ends
// the handler where it was raised, is shown here (a silent abort is not), and the program
// goes on with nothing undone.
#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace kordane {

class ErrorDisplay {
public:
    using Presenter = std::function<void(const QString& caption, const QString& text)>;

    // Puts a presenter in place of the standard message box; an empty one restores the box.
    static void setPresenter(Presenter presenter);

    // A message ending in anything above "." (letters, digits, Chinese) gets a "." appended.
    static QString displayText(const QString& message);
};

// Cancels any mouse mode, then shows the error under the application title.
void showError(std::exception_ptr error) noexcept;

template<class F>
void guarded(F&& f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (...) {
        showError(std::current_exception());
    }
}

} // namespace kordane
