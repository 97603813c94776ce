// The editing protocol of the picture: what each pointer, wheel and key gesture means, decided
// without a window. The window turns its input into these named calls (positions in client
// device pixels) and carries out what they ask through IGestureHost: a new picture, a repaint
// of the handles, the cursor, the status texts, an undoable step, a context menu. Underneath,
// the gestures become the pointer editor's event codes (257 left press, 265 Ctrl + left press,
// ...), which CPatternEditor documents.
#pragma once

#include <cstdint>
#include <string>

#include "interaction/grid_lattice.h"
#include "interaction/pattern_editor.h"

enum class PointerButton : uint8_t { Left, Right, Middle };

// The buttons held during a pointer event (including the one just pressed).
struct HeldButtons {
    bool left = false;
    bool right = false;
    bool middle = false;
};

// The keys held during a pointer event. Alt does not reach the editor; it only bypasses the snap.
struct KeyModifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// The keys the editor follows.
enum class EditKey : uint8_t { Control };

// What the handles show: the point or knee under the pointer, and whether that point is grabbed.
struct HandlesState {
    uint8_t hitKind = 0;   // HIT_NONE, HIT_POINT or HIT_KNEE under the pointer
    int32_t hitIndex = -1;
    bool dragging = false;  // the point of the hit is being dragged
    friend bool operator==(const HandlesState&, const HandlesState&) = default;
};

// What the gestures need of their window, besides the editor's own requests.
class IGestureHost : public IEditorHost {
public:
    // The pattern or the view changed: the picture is to be drawn anew.
    virtual void Redraw() = 0;
    // The highlighted handle changed: the window is repainted over the same picture.
    virtual void RepaintHandles() = 0;
    // The editor's pointer position goes to the status bar's coordinate pane.
    virtual void ShowPointerPosition() = 0;
    // What a click does under the pointer, in the message pane; empty gives the idle text back.
    virtual void ShowHint(const std::string& text) = 0;
    // A message for the user in the message pane (a refused command).
    virtual void ShowMessage(const std::string& text) = 0;
    // A key that joins the changes carrying it, one after the other, into one undoable step.
    virtual int NewMergeKey() = 0;
    // Records the change just made to the pattern as one undoable step named `name`; `before`
    // is the pattern as it was. Unchanged patterns record nothing; see CEditHistory::Record.
    virtual void RecordEditStep(const std::string& name, const CPattern& before, int mergeKey) = 0;
    // Where the pointer is now, in client device pixels (it may lie outside the view).
    virtual POINT PointerPosition() const = 0;
    // Whether a client device pixel lies on the view.
    virtual bool IsInView(POINT client) const = 0;
};

class CEditGestures {
public:
    // The editor (with its transform and hit state) and the host are the window's; not owned.
    CEditGestures(CPatternEditor& editor, IGestureHost& host) : m_editor(editor), m_host(host) {}

    // The pattern the gestures edit (the document's); while it is null every gesture is ignored.
    void SetPattern(CPattern* pattern) { m_pPattern = pattern; }

    // Snap to Grid: dragged and added points land on the nearest lattice point, unless Alt is held.
    void SetGrid(const GridSettings& grid) { m_grid = grid; }
    const GridSettings& Grid() const { return m_grid; }
    void SetSnap(bool on) { m_bSnap = on; }
    bool Snap() const { return m_bSnap; }

    // The gestures. Those answering bool answer false when they did nothing, so the window's
    // own handling of the input goes on.
    void PointerEntered();
    void PointerLeft();
    bool PointerMoved(POINT at, HeldButtons held, KeyModifiers keys);
    bool ButtonPressed(PointerButton button, POINT at, HeldButtons held, KeyModifiers keys);
    void ButtonReleased(PointerButton button);
    bool Wheel(POINT at, int delta, HeldButtons held, KeyModifiers keys);
    void KeyPressed(EditKey key);
    void KeyReleased(EditKey key);
    // Keys released while another window had them would otherwise stay held.
    void FocusLost();
    // A context menu's command or a view command (Set as Default View, Restore Default View).
    bool Command(uint32_t id);
    // The window asks which cursor to show; `overView` false when the pointer is elsewhere.
    bool CursorRequest(bool overView);
    // The view was zoomed or framed: what lies under the pointer is taken anew, at once when
    // the pointer is over the view.
    void ViewChanged(bool pointerOverView);
    // Undo or redo put a pattern in place.
    void PatternRestored();

    // The hit state as the handles show it: nothing while the pointer is off the picture.
    HandlesState ShownHandles() const;
    // The window drew the handles with this state.
    void HandlesPainted(const HandlesState& state) { m_painted = state; }
    // The status hint for the current hit state (see EditorHintText).
    std::string HintText() const;

private:
    // Runs an editor event on the pattern and records its change as a step.
    uint32_t EditAndRecord(uint32_t message, uint32_t code);
    // A handler's result: the redraw bit asks for a new picture; 0 means not handled.
    bool Finish(uint32_t result);
    // With snapping on and Alt not held: the pointer position moves to the nearest lattice point.
    void SnapPointer();
    // Takes the hit state and pointer position anew after the view changed under the pointer.
    void RefreshHitAfterViewChange();
    void ShowCursor();
    // After input: the status hint and the highlighted handle follow the hit state.
    void FollowHitState();

    CPatternEditor& m_editor;
    IGestureHost& m_host;
    CPattern* m_pPattern = nullptr;
    GridSettings m_grid;
    bool m_bSnap = false;
    bool m_bSnapBypass = false;  // Alt held during the current input
    bool m_bLeftDown = false;
    bool m_bPointerInside = false;
    // The key that joins the moves of the current drag into one step.
    int m_nDragKey = 0;
    HandlesState m_painted;
    std::string m_shownHint;
};
