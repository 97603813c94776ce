#include "interaction/edit_gestures.h"

#include <algorithm>

#include "interaction/editor_hints.h"

namespace {

// A press's event code is the key state plus this.
constexpr uint32_t kPressed = 256;
constexpr uint32_t kCtrlPress = MK_LBUTTON + MK_CONTROL + kPressed;

// The key-state bits the editor's event codes are made of.
uint32_t KeyState(HeldButtons held, KeyModifiers keys)
{
    uint32_t state = 0;
    if (held.left)
        state |= MK_LBUTTON;
    if (held.right)
        state |= MK_RBUTTON;
    if (held.middle)
        state |= MK_MBUTTON;
    if (keys.shift)
        state |= MK_SHIFT;
    if (keys.ctrl)
        state |= MK_CONTROL;
    return state;
}

// The name of the step an editor event makes, as the Edit menu shows it after "Undo".
std::string StepName(uint32_t message, uint32_t code, uint8_t hitKind, int32_t hitIndex, const CPattern& after)
{
    const uint8_t flags = hitIndex >= 0 && hitIndex < after.m_count && hitIndex < PATTERN_MAX_SEGMENTS
                            ? after.m_kneeFlags[hitIndex] : 0;
    auto flagName = [flags](uint8_t bit, const char* on, const char* off) { return std::string((flags & bit) ? on : off); };
    if (message == WM_COMMAND) {
        switch (LOWORD(code)) {
        case ID_KNEE_REVERSE: return flagName(KNEE_REVERSE, "Reverse Knee", "Unreverse Knee");
        case ID_KNEE_MIRROR: return flagName(KNEE_MIRROR, "Mirror Knee", "Unmirror Knee");
        case ID_KNEE_HIDE: return flagName(KNEE_HIDE, "Hide Knee", "Unhide Knee");
        case ID_KNEE_STATIC: return flagName(KNEE_STATIC, "Set Knee Static", "Clear Knee Static");
        case ID_POINT_REMOVE: return "Remove Point";
        case ID_POINT_ADD: return "Add Point";
        case ID_POINT_SET_COORDINATE: return "Set Coordinate";
        case ID_VIEW_SET_DEFAULT: return "Set as Default View";
        default: return "Edit Pattern";
        }
    }
    switch (code) {
    case MK_LBUTTON: return "Move Point";
    case MK_LBUTTON + kPressed: return hitKind == HIT_KNEE ? "Change Knee Direction" : "Move Point";
    case MK_LBUTTON + MK_SHIFT + kPressed:
        return hitKind == HIT_KNEE ? flagName(KNEE_HIDE, "Hide Knee", "Unhide Knee") : "Move Point";
    case kCtrlPress: return hitKind == HIT_POINT ? "Remove Point" : "Add Point";
    default: return "Edit Pattern";
    }
}

}  // namespace

bool CEditGestures::Finish(uint32_t result)
{
    if (result == 0)
        return false;
    if (result & RESULT_REDRAW)
        m_host.Redraw();
    return true;
}

void CEditGestures::ShowCursor()
{
    m_editor.UpdateCursor();
    m_host.ShowCursor(m_editor.m_cursorIndex);
}

bool CEditGestures::CursorRequest(bool overView)
{
    if (m_pPattern == nullptr)
        return false;
    m_editor.m_lastCursorHitCode = overView ? HTCLIENT : 0;
    if (!overView)
        return false;
    if (m_editor.m_bHitRefreshPending) {
        m_editor.m_bHitRefreshPending = false;
        const POINT p = m_host.PointerPosition();
        m_editor.TakePointerPosition(p.x, p.y);
        m_editor.UpdateHit(*m_pPattern);
        m_host.ShowPointerPosition();
        FollowHitState();
    }
    ShowCursor();
    return true;
}

void CEditGestures::KeyPressed(EditKey key)
{
    if (m_pPattern == nullptr || key != EditKey::Control)
        return;
    m_editor.m_bCtrl = true;
    if (m_editor.m_lastCursorHitCode == HTCLIENT)
        ShowCursor();
}

void CEditGestures::KeyReleased(EditKey key)
{
    if (m_pPattern == nullptr || key != EditKey::Control)
        return;
    m_editor.m_bCtrl = false;
    if (m_editor.m_lastCursorHitCode == HTCLIENT)
        ShowCursor();
}

void CEditGestures::FocusLost()
{
    if (m_editor.m_bCtrl)
        KeyReleased(EditKey::Control);
}

bool CEditGestures::Command(uint32_t id)
{
    if (m_pPattern == nullptr)
        return false;
    switch (id) {
    case ID_KNEE_REVERSE:
    case ID_KNEE_MIRROR:
    case ID_KNEE_HIDE:
    case ID_POINT_REMOVE:
    case ID_POINT_ADD:
    case ID_POINT_SET_COORDINATE:
    case ID_VIEW_SET_DEFAULT:
    case ID_KNEE_STATIC: {
        // The context menu's Add Point lands on the lattice too (never with Alt: a menu
        // command carries no keys).
        if (id == ID_POINT_ADD) {
            m_bSnapBypass = false;
            SnapPointer();
        }
        const uint32_t result = EditAndRecord(WM_COMMAND, id);
        if (id == ID_VIEW_SET_DEFAULT) {
            if (result & RESULT_REDRAW)
                RefreshHitAfterViewChange();
            else  // refused: the view stays as it was
                m_host.ShowMessage("Set as Default View refused: a point would lie beyond the range of coordinates");
        }
        return Finish(result);
    }
    case ID_VIEW_RESTORE_DEFAULT: {
        const uint32_t result = m_editor.OnNavigateEvent(WM_COMMAND, id);
        RefreshHitAfterViewChange();
        return Finish(result);
    }
    default:
        return false;
    }
}

void CEditGestures::PointerEntered()
{
    if (m_pPattern == nullptr)
        return;
    m_bPointerInside = true;
    CursorRequest(true);
}

void CEditGestures::PointerLeft()
{
    if (m_pPattern == nullptr)
        return;
    CursorRequest(false);
    // Off the picture nothing is under the pointer: no highlight, no hint. (The editor keeps
    // its hit state: a context menu's command still needs it.)
    m_bPointerInside = false;
    FollowHitState();
}

bool CEditGestures::PointerMoved(POINT at, HeldButtons held, KeyModifiers keys)
{
    if (m_pPattern == nullptr)
        return false;
    // The cursor request comes first, as the system sends it before the move; a second one
    // after the move shows the cursor of the new hit state at once.
    CursorRequest(true);
    m_bSnapBypass = keys.alt;
    const uint32_t code = KeyState(held, keys);
    bool handled;
    if (held.middle) {
        m_editor.m_lastClient = at;
        handled = Finish(m_editor.OnNavigateEvent(WM_MOUSEMOVE, code));
    } else {
        m_editor.TakePointerPosition(at.x, at.y);
        uint32_t result = RESULT_HANDLED;
        if (held.left) {
            // A drag takes no hit test: the point grabbed at the press follows the pointer.
            if (m_editor.m_hitKind == HIT_POINT)
                SnapPointer();
            result = EditAndRecord(WM_MOUSEMOVE, code);
        } else {
            m_editor.UpdateHit(*m_pPattern);
        }
        m_host.ShowPointerPosition();
        handled = Finish(result);
    }
    CursorRequest(true);
    m_bPointerInside = m_host.IsInView(at);
    m_bLeftDown = held.left;
    FollowHitState();
    return handled;
}

bool CEditGestures::ButtonPressed(PointerButton button, POINT at, HeldButtons held, KeyModifiers keys)
{
    if (m_pPattern == nullptr)
        return false;
    if (button == PointerButton::Left)
        m_bLeftDown = true;
    m_bSnapBypass = keys.alt;
    const uint32_t code = KeyState(held, keys) + kPressed;
    uint32_t result = 0;
    switch (button) {
    case PointerButton::Left:
        // The press acts on the hit state and pointer position of the last move. A press that
        // moves a point or adds one puts it on the lattice while snapping.
        if (m_editor.m_hitKind == HIT_POINT ? code != kCtrlPress : code == kCtrlPress)
            SnapPointer();
        result = EditAndRecord(WM_LBUTTONDOWN, code);
        if (result & RESULT_REDRAW) {
            m_editor.UpdateHit(*m_pPattern);
            ShowCursor();
        }
        break;
    case PointerButton::Right:
        m_editor.TakePointerPosition(at.x, at.y);
        m_editor.m_lastClient = at;
        m_editor.UpdateHit(*m_pPattern);
        result = EditAndRecord(WM_RBUTTONDOWN, code);
        break;
    case PointerButton::Middle:
        m_editor.m_lastClient = at;
        result = m_editor.OnNavigateEvent(WM_MBUTTONDOWN, code);
        if (keys.shift)
            RefreshHitAfterViewChange();  // the view was reset under the pointer
        break;
    }
    const bool handled = Finish(result);
    FollowHitState();
    return handled;
}

void CEditGestures::ButtonReleased(PointerButton button)
{
    // Letting go of the left button ends a drag's hit state.
    if (m_pPattern == nullptr || button != PointerButton::Left)
        return;
    m_bLeftDown = false;
    FollowHitState();
}

bool CEditGestures::Wheel(POINT at, int delta, HeldButtons held, KeyModifiers keys)
{
    if (m_pPattern == nullptr || delta == 0)
        return false;
    // The navigation reads the signed notch delta from the high half of the code.
    const auto delta16 = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(delta, -32768, 32767)));
    m_editor.TakePointerPosition(at.x, at.y);  // the zoom's centre
    return Finish(m_editor.OnNavigateEvent(WM_MOUSEWHEEL, (static_cast<uint64_t>(delta16) << 16) | KeyState(held, keys)));
}

void CEditGestures::ViewChanged(bool pointerOverView)
{
    if (m_pPattern == nullptr)
        return;
    m_editor.m_bHitRefreshPending = true;
    if (pointerOverView)
        CursorRequest(true);
}

void CEditGestures::PatternRestored()
{
    // A later move continues no drag, and the hit state must name what is there now (an
    // undone Add Point leaves no point at the old hit index).
    m_nDragKey = 0;
    if (m_pPattern != nullptr) {
        m_editor.UpdateHit(*m_pPattern);
        if (m_editor.m_lastCursorHitCode == HTCLIENT)
            ShowCursor();
        FollowHitState();
    }
    m_host.Redraw();
}

void CEditGestures::RefreshHitAfterViewChange()
{
    // What lies under the pointer, and the pointer's pattern position, changed with the view.
    const POINT p = m_host.PointerPosition();
    if (!m_host.IsInView(p)) {
        m_editor.m_bHitRefreshPending = true;  // taken up when the pointer comes back
        return;
    }
    m_editor.TakePointerPosition(p.x, p.y);
    m_editor.UpdateHit(*m_pPattern);
    m_host.ShowPointerPosition();
    ShowCursor();
    FollowHitState();
}

void CEditGestures::SnapPointer()
{
    if (m_bSnap && !m_bSnapBypass)
        m_editor.m_pointer = NearestLatticePoint(m_grid, m_editor.m_pointer);
}

uint32_t CEditGestures::EditAndRecord(uint32_t message, uint32_t code)
{
    CPattern& pattern = *m_pPattern;
    const CPattern before = pattern;
    const uint8_t hitKind = m_editor.m_hitKind;
    const int32_t hitIndex = m_editor.m_hitIndex;
    // Every left press begins a new drag; the moves with the button held join its step.
    if (message == WM_LBUTTONDOWN || (message == WM_MOUSEMOVE && m_nDragKey == 0))
        m_nDragKey = m_host.NewMergeKey();
    const uint32_t result = m_editor.OnEditEvent(message, code, pattern);
    const bool drag = message != WM_COMMAND && (code == MK_LBUTTON || hitKind != HIT_KNEE) &&
                      (code == MK_LBUTTON || code == MK_LBUTTON + kPressed || code == MK_LBUTTON + MK_SHIFT + kPressed);
    m_host.RecordEditStep(StepName(message, code, hitKind, hitIndex, pattern), before, drag ? m_nDragKey : 0);
    return result;
}

HandlesState CEditGestures::ShownHandles() const
{
    HandlesState state;
    if (m_bPointerInside || m_bLeftDown) {
        state.hitKind = m_editor.m_hitKind;
        state.hitIndex = m_editor.m_hitIndex;
    }
    state.dragging = m_bLeftDown && state.hitKind == HIT_POINT;
    return state;
}

std::string CEditGestures::HintText() const
{
    if (m_pPattern == nullptr)
        return std::string();
    return EditorHintText(*m_pPattern, m_editor.m_hitKind, m_editor.m_hitIndex);
}

void CEditGestures::FollowHitState()
{
    if (ShownHandles() != m_painted)
        m_host.RepaintHandles();
    const std::string hint = m_bPointerInside || m_bLeftDown ? HintText() : std::string();
    if (hint != m_shownHint) {
        m_shownHint = hint;
        m_host.ShowHint(hint);
    }
}
