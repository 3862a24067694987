#pragma once
// An entry field bound to an edit mask. Typing overwrites one position at a time and
// never shifts the others; the widget's own text is only ever the mask's shown text.
//
// Leaving the field after the user changed it checks that every required position is
// filled. On failure the focus stays (or comes straight back), the caret goes to the
// first unfilled required position and maskError() is emitted from the event loop,
// once the focus move is over; exited() is not emitted then.
#include "widgets/EditMask.h"
#include "widgets/LineEdit.h"

#include <algorithm>

namespace kordane {

class MaskedEdit : public LineEdit {
    Q_OBJECT
public:
    explicit MaskedEdit(QWidget* parent = nullptr);

    void setEditMask(const QString& mask, QChar dateSeparator = QLatin1Char('/'),
                     QChar timeSeparator = QLatin1Char(':'));

    // Full length, separators in place, a blank in every unfilled position.
    QString fieldText() const { return mask_.fieldText(); }
    // Fits the text to the mask; clears the modified mark and takes it as the earlier text.
    void assignText(const QString& text);
    bool isModifiedMark() const { return modified_; }
    // The shown text the field had when it last gained the focus or was assigned.
    QString earlierText() const { return earlier_.shownText(); }

    // For a widget about to take the focus: true when the field may be left. Otherwise
    // beeps, keeps the focus here and raises maskError(); the caller then does nothing.
    bool checkMaskOnLeave();

signals:
    void maskError();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    bool acceptLeave(Qt::FocusReason reason) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool passes() const { return !modified_ || mask_.requiredFilled(); }
    void failCheck();
    void refresh();
    int selectionLow() const { return std::min(anchor_, caret_); }
    int selectionHigh() const { return std::min(std::max(anchor_, caret_) + 1, mask_.length()); }
    bool hasBlock() const { return selectionHigh() - selectionLow() > 1; }
    void placeCaret(int pos, bool extend);
    void selectWhole();
    void typeChar(QChar c);
    void clearBlock();
    void backspace();
    void deleteAtCaret();
    void copySelection() const;
    void cutSelection();
    void pasteClipboard();
    void syncFromLine();
    void setFiltering(bool on);
    QWidget* pressTarget(QObject* watched, QEvent* e) const;
    QWidget* clickFocusTaker(QWidget* target) const;

    EditMask mask_;
    EditMask earlier_;
    bool modified_ = false;
    int anchor_ = 0; // the selection runs from anchor_ to caret_, both included
    int caret_ = 0; // mask_.length() stands past the last position, nothing selected
    bool reclaiming_ = false;
    bool inKey_ = false;
    bool failedInKey_ = false;
    bool pressHandled_ = false; // the check already failed for the press on its way
    bool eatRelease_ = false;
    bool filtering_ = false;
};

} // namespace kordane
