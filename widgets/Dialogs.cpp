#include "widgets/Dialogs.h"

#include "data/Exceptions.h"
#include "widgets/MessageDialog.h"

namespace kordane {

void warningDialog(const QString& text)
{
    MessageDialog::show(MessageDialog::Kind::Warning, text, MessageDialog::Ok);
}

int confirmationDialog(const QString& text)
{
    return MessageDialog::show(MessageDialog::Kind::Confirmation, text, MessageDialog::Yes | MessageDialog::No);
}

int gridDeleteQuestion(const QString& text)
{
    return MessageDialog::show(MessageDialog::Kind::Confirmation, text, MessageDialog::Ok | MessageDialog::Cancel);
}

void refuse(const QString& text)
{
    warningDialog(text);
    silentAbort();
}

void silentAbort()
{
    throw EAbort();
}

} // namespace kordane
