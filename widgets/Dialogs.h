#pragma once
// The questions and refusals every command goes through. Results are those of
// MessageDialog: a caller of the confirmation goes on only on MessageDialog::ResultYes.
#include <QString>

namespace kordane {

// "Warning" with one OK button; the result does not matter to anyone.
void warningDialog(const QString& text);

// "Confirm" with Yes and No: ResultYes, ResultNo, or ResultCancel when closed otherwise.
int confirmationDialog(const QString& text);

// The grid's delete question, "Confirm" with OK and Cancel: ResultOk, or ResultCancel otherwise.
int gridDeleteQuestion(const QString& text);

// Shows the warning, then ends the command with the silent abort.
[[noreturn]] void refuse(const QString& text);

// Ends the command without a word.
[[noreturn]] void silentAbort();

} // namespace kordane
