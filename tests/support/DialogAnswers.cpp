#include "tests/support/DialogAnswers.h"

#include "tests/support/ModalDriver.h"

#include <QLabel>

namespace kordane::test {

struct DialogAnswers::State {
    QStringList keys;
    QStringList texts;
};

namespace {

void arm(const std::weak_ptr<DialogAnswers::State>& weak)
{
    const auto state = weak.lock();
    if (!state || state->keys.isEmpty())
        return;
    whenModal([weak](QWidget* modal) {
        const auto state = weak.lock();
        if (!state)
            return;
        for (const QLabel* label : modal->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                state->texts << label->text();
        const QString keys = state->keys.takeFirst();
        arm(weak);
        play(modal, keys);
    });
}

} // namespace

DialogAnswers::DialogAnswers(QStringList keys)
    : state_(std::make_shared<State>(State {std::move(keys), {}}))
{
    arm(state_);
}

DialogAnswers::~DialogAnswers() = default;

const QStringList& DialogAnswers::texts() const
{
    return state_->texts;
}

} // namespace kordane::test
