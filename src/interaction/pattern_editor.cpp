#include "interaction/pattern_editor.h"

void CPatternEditor::UpdateHit(const CPattern& pattern)
{
    m_hitIndex = pattern.HitTest(m_pointer, m_transform.m_scale, m_hitKind);
}

void CPatternEditor::UpdateCursor()
{
    if (m_bCtrl)
        m_cursorIndex = m_hitKind == HIT_POINT ? CURSOR_REMOVE : CURSOR_ADD;
    else if (m_hitKind == HIT_POINT)
        m_cursorIndex = CURSOR_MOVE;
    else if (m_hitKind == HIT_KNEE)
        m_cursorIndex = CURSOR_KNEE;
    else
        m_cursorIndex = CURSOR_ARROW;
}

namespace {

constexpr uint32_t kHandled = RESULT_HANDLED;
constexpr uint32_t kRedraw = RESULT_HANDLED | RESULT_REDRAW;

uint32_t RefusedOrRedraw(int result)
{
    return result < 0 ? kHandled : kRedraw;
}

}  // namespace

uint32_t CPatternEditor::OnEditEvent(uint32_t message, uint32_t code, CPattern& pattern)
{
    // The knee and point commands act on the hit state of the right press that opened the
    // context menu. A hit state that does not fit the command (the hit index is only
    // meaningful for the kind that was hit) leaves the pattern alone.
    if (message == WM_COMMAND) {
        bool onKnee = m_hitKind == HIT_KNEE && m_hitIndex >= 0 && m_hitIndex < pattern.m_count;
        switch (LOWORD(code)) {
        case ID_KNEE_REVERSE:
        case ID_KNEE_MIRROR:
        case ID_KNEE_HIDE:
        case ID_KNEE_STATIC: {
            if (!onKnee)
                return kHandled;
            uint8_t bits = LOWORD(code) == ID_KNEE_REVERSE ? KNEE_REVERSE
                         : LOWORD(code) == ID_KNEE_MIRROR  ? KNEE_MIRROR
                         : LOWORD(code) == ID_KNEE_HIDE    ? KNEE_HIDE
                                                           : KNEE_STATIC;
            pattern.ChangeKneeFlags(m_hitIndex, bits);
            return kRedraw;
        }
        case ID_POINT_REMOVE:
            if (m_hitKind != HIT_POINT)
                return kHandled;
            return RefusedOrRedraw(pattern.RemovePoint(m_hitIndex));
        case ID_POINT_ADD:
            if (m_hitKind == HIT_POINT)
                return kHandled;
            return RefusedOrRedraw(pattern.InsertPoint(m_hitIndex, m_pointer));
        case ID_POINT_SET_COORDINATE:
            if (m_hitKind != HIT_POINT || !m_pOwner)
                return kHandled;
            return m_pOwner->RunSetCoordinateDialog(pattern, m_hitIndex) ? kRedraw : kHandled;
        case ID_VIEW_SET_DEFAULT:
            // Refused, with nothing changed, when a coordinate would overflow.
            return m_transform.BakeIntoPoints(pattern, pattern.m_count) ? kRedraw : kHandled;
        default:
            return kHandled;
        }
    }

    switch (code) {
    case MK_LBUTTON:
    case MK_LBUTTON + 256:
    case MK_LBUTTON + MK_SHIFT + 256:
        if (code == MK_LBUTTON || m_hitKind != HIT_KNEE) {
            if (m_hitKind != HIT_POINT)
                return kHandled;
            pattern.SetPoint(m_hitIndex, m_pointer);
            return kRedraw;
        }
        // A press on a knee: plain steps its direction, Shift toggles hide.
        pattern.ChangeKneeFlags(m_hitIndex, code == MK_LBUTTON + 256 ? 0 : KNEE_HIDE);
        return kRedraw;
    case MK_LBUTTON + MK_CONTROL + 256:
        if (m_hitKind == HIT_POINT)
            return RefusedOrRedraw(pattern.RemovePoint(m_hitIndex));
        return RefusedOrRedraw(pattern.InsertPoint(m_hitIndex, m_pointer));
    case MK_RBUTTON + 256: {
        uint8_t checks = 0;
        if (m_hitKind == HIT_KNEE && m_hitIndex >= 0 && m_hitIndex < pattern.m_count)
            checks = pattern.m_kneeFlags[m_hitIndex] & (KNEE_REVERSE | KNEE_MIRROR | KNEE_HIDE | KNEE_STATIC);
        m_bHitRefreshPending = true;
        if (m_pOwner)
            m_pOwner->TrackContextMenu(m_hitKind, checks, m_lastClient);
        return kHandled;
    }
    default:
        return 0;
    }
}

uint32_t CPatternEditor::OnNavigateEvent(uint32_t message, uint64_t code)
{
    if (message == WM_MOUSEWHEEL) {
        auto delta = static_cast<int16_t>(HIWORD(code));
        float notches = static_cast<float>(delta) * 0.008333334f;
        m_transform.ZoomAt(m_pointer.x, m_pointer.y, notches);
        return kRedraw;
    }
    switch (code) {
    case MK_MBUTTON:
        m_transform.Pan(m_lastClient, false);
        return kRedraw;
    case MK_MBUTTON + 256:
        m_transform.Pan(m_lastClient, true);
        return kHandled;
    case MK_MBUTTON + MK_SHIFT + 256:
    case ID_VIEW_RESTORE_DEFAULT:
        m_transform.Reset();
        return kRedraw;
    default:
        return 0;
    }
}
