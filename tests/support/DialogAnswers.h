#pragma once
// Answers the next modal dialogs in turn by key (see play()), keeping the texts they showed.
//   DialogAnswers answers({"Y", "N"});   // Yes to the first question, No to the second
// Answers not used up are dropped with the object, so a later dialog is never answered by
// a test step that has already ended.
#include <QStringList>

#include <memory>

namespace kordane::test {

class DialogAnswers {
public:
    explicit DialogAnswers(QStringList keys);
    ~DialogAnswers();
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;

    // The labels' texts of every dialog answered so far, in order.
    const QStringList& texts() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace kordane::test
