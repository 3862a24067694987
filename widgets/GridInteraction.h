#pragma once
// What the data grid's mouse and focus handling is in the middle of, with every change
// of it in GridInteraction.cpp.
//
// A press is in one of four states:
//
//   Idle        nothing waits
//   ClickArmed  a left press on a data cell waits for its release, which is a click
//   MenuArmed   a right press the grid took waits for its context menu
//   VoidPress   the rows were reloaded while a press was bringing the focus here (the
//               field being left looked something up): the press that comes does nothing
//
//   Idle ──press──> ClickArmed or MenuArmed ──release or menu──> Idle
//   any ──rows reloaded before the focus-in──> VoidPress ──press, or a press elsewhere,
//                                                          or a keyboard focus-in──> Idle
//   ClickArmed ──rows reloaded──> Idle (the rows under the pointer are others now)
//
// Apart from a press, the grid may be in the middle of work that must not start over
// from within itself: writing a cell (a refusal's dialog takes the focus from the
// editor, which hands its text over once more), moving the scroll bar to the rows shown
// (the bar's change must not scroll the rows), and marking the current cell where the
// user scrolled (the view must not scroll the rows to it).

namespace kordane {

class GridInteraction {
public:
    enum class Work { WritingCell,
                      SyncingScrollBar,
                      KeepingRows };

    // Marks work as under way until it goes, then restores what was there before, so
    // the same work may nest.
    class [[nodiscard]] During {
    public:
        During(GridInteraction& owner, Work work);
        ~During();
        During(const During&) = delete;
        During& operator=(const During&) = delete;

    private:
        GridInteraction& owner_;
        Work work_;
        bool was_;
    };

    bool inWork(Work work) const { return work_[index(work)]; }

    // The rows were reloaded; `focusNamedOurs`: the application already names the grid
    // as the focus widget.
    void rowsReloaded(bool focusNamedOurs);
    void focusIn(bool byMouse);
    void focusOut();
    // On a title, the indicator or a scroll bar instead of a cell.
    void pressedElsewhere();
    // A press on the cells begins; false when it is void.
    bool pressBegins();
    void armClick();
    void armMenu();
    // True when a release completes an armed click, or a context menu an armed right press.
    bool takeClick();
    bool takeMenu();

private:
    enum class Press { Idle,
                       ClickArmed,
                       MenuArmed,
                       VoidPress };

    static int index(Work work) { return static_cast<int>(work); }

    Press press_ = Press::Idle;
    // The focus-in has arrived (the focus may be named the grid's before).
    bool focused_ = false;
    bool work_[3] = {};
};

} // namespace kordane
