// The pointer editor's record: the view transform, what lies under the pointer, the Ctrl
// state and the chosen cursor; and the handlers that turn pointer events and the context
// menu's commands into pattern operations and navigation. It talks to its window only
// through IEditorHost, so every event can be exercised without a display.
#pragma once

#include <cstdint>

#include "document/pattern.h"
#include "platform/win_types.h"
#include "view/view_transform.h"

// Cursor indices.
constexpr uint8_t CURSOR_ARROW = 0;
constexpr uint8_t CURSOR_ADD = 1;
constexpr uint8_t CURSOR_REMOVE = 2;
constexpr uint8_t CURSOR_MOVE = 3;
constexpr uint8_t CURSOR_KNEE = 4;

// Context-menu and view command ids.
constexpr uint32_t ID_KNEE_REVERSE = 32772;
constexpr uint32_t ID_KNEE_MIRROR = 32773;
constexpr uint32_t ID_KNEE_HIDE = 32774;
constexpr uint32_t ID_POINT_REMOVE = 32775;
constexpr uint32_t ID_POINT_ADD = 32776;
constexpr uint32_t ID_POINT_SET_COORDINATE = 32782;
constexpr uint32_t ID_VIEW_SET_DEFAULT = 32784;
constexpr uint32_t ID_VIEW_RESTORE_DEFAULT = 32785;
constexpr uint32_t ID_KNEE_STATIC = 32791;

// Result bits of the handlers: 0 not handled, 1 handled, 3 handled and redraw.
constexpr uint32_t RESULT_HANDLED = 1;
constexpr uint32_t RESULT_REDRAW = 2;

// What the editor needs of its window.
class IEditorHost {
public:
    virtual ~IEditorHost() = default;
    // Shows the cursor of the given index (CURSOR_ARROW ... CURSOR_KNEE).
    virtual void ShowCursor(uint8_t index) = 0;
    // Opens context sub-menu `subMenu` (the hit kind) at a client position without waiting;
    // for the Knee sub-menu `kneeFlags` gives the check marks. The chosen item comes back
    // later as a command.
    virtual void TrackContextMenu(uint8_t subMenu, uint8_t kneeFlags, POINT client) = 0;
    // Runs the Set Coordinate dialog on point `index` of `pattern`; true when confirmed
    // (the dialog has then set the point).
    virtual bool RunSetCoordinateDialog(CPattern& pattern, int index) = 0;
};

class CPatternEditor {
public:
    CPatternEditor() = default;
    virtual ~CPatternEditor() = default;

    CViewTransform m_transform;
    IEditorHost* m_pOwner = nullptr;    // the view; not owned
    PointF m_pointer{};                 // pointer position in pattern coordinates
    POINT m_lastClient{};               // client position of the last middle/right press or middle drag
    uint8_t m_hitKind = HIT_NONE;
    int32_t m_hitIndex = -1;
    bool m_bCtrl = false;
    uint32_t m_lastCursorHitCode = 0;
    bool m_bHitRefreshPending = false;
    uint8_t m_cursorIndex = CURSOR_ARROW;

    // Takes the pointer position: the client pixel through the transform.
    void TakePointerPosition(int32_t x, int32_t y) { m_pointer = m_transform.ScreenToWorld(x, y); }
    void UpdateHit(const CPattern& pattern);
    void UpdateCursor();
    uint32_t OnEditEvent(uint32_t message, uint32_t code, CPattern& pattern);
    uint32_t OnNavigateEvent(uint32_t message, uint64_t code);
};
