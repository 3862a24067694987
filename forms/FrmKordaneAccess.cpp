// Beyond the mouse: a function key for each command, and a name for every control that
// a screen reader says when the focus reaches it.
#include "forms/FrmKordane.h"

#include "widgets/DataGrid.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QApplication>
#include <QLabel>
#include <QShortcut>

#include <utility>

namespace kordane {

// F5 to F8 in the buttons' order on the screen. A key does what a click does: the button
// takes no focus, so no field is left and the command reads the fields as they stand.
void TFormKordane::addCommandKeys()
{
    const std::pair<SpeedButton*, Qt::Key> commands[] = {
        {SpeedButton2, Qt::Key_F5}, {SpeedButton1, Qt::Key_F6}, {SpeedButton3, Qt::Key_F7}, {SpeedButton4, Qt::Key_F8}};
    for (const auto& [button, key] : commands) {
        const QKeySequence sequence(key);
        button->setToolTip(QStringLiteral("%1 (%2)").arg(button->text(), sequence.toString(QKeySequence::NativeText)));
        // Live while the focus is in a field or on the grid, all of them on Panel2.
        auto* shortcut = new QShortcut(sequence, Panel2);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        // A held key is one click, not a run of commands queued behind a dialog.
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, button, [this, button = button] {
            // An open cell editor is the grid's own business.
            const QWidget* focus = QApplication::focusWidget();
            if (focus != DBGrid1 && DBGrid1->isAncestorOf(focus))
                return;
            button->click();
        });
    }
}

void TFormKordane::nameControls()
{
    for (const auto& [label, field] : {std::pair<QLabel*, QWidget*> {Label1, MaskEdit1}, {Label3, Edit1}, {Label2, MaskEdit2}, {Label6, MaskEdit3}}) {
        label->setBuddy(field);
        field->setAccessibleName(label->text());
    }
    Edit7->setAccessibleName(QStringLiteral("星期"));
    Edit5->setAccessibleName(QStringLiteral("姓名"));
    Edit6->setAccessibleName(QStringLiteral("卡號"));
    // The grid has no label; it lists what the window's caption names.
    DBGrid1->setAccessibleName(windowTitle());
    for (SpeedButton* button : {SpeedButton2, SpeedButton1, SpeedButton3, SpeedButton4})
        button->setAccessibleName(button->text());
}

} // namespace kordane
