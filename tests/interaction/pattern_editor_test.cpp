#include "interaction/pattern_editor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "interaction/set_coordinate.h"

namespace {

struct FakeHost : IEditorHost {
    std::vector<uint8_t> cursors;
    struct Menu {
        uint8_t subMenu;
        uint8_t checks;
        POINT at;
    };
    std::vector<Menu> menus;
    bool confirm = true;
    PointF dialogValue{7.0f, 8.0f};
    int dialogRuns = 0;

    void ShowCursor(uint8_t index) override { cursors.push_back(index); }
    void TrackContextMenu(uint8_t subMenu, uint8_t kneeFlags, POINT client) override
    {
        menus.push_back({subMenu, kneeFlags, client});
    }
    bool RunSetCoordinateDialog(CPattern& pattern, int index) override
    {
        ++dialogRuns;
        if (confirm)
            pattern.SetPoint(index, dialogValue);
        return confirm;
    }
};

// A 3-segment pattern along the x axis: points at -150, -50, 50, 150; knees at -100, 0, 100.
CPattern Line3()
{
    CPattern p;
    p.m_count = 3;
    for (int i = 0; i <= 3; ++i)
        p.m_points[i] = PointF{-150.0f + 100.0f * static_cast<float>(i), 0.0f};
    p.m_kneeFlags[0] = 0;
    p.m_kneeFlags[1] = 0;
    p.m_kneeFlags[2] = 0;
    p.UpdateKnees();
    return p;
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor.m_pOwner = &host;
        editor.m_transform.m_center = POINT{400, 300};
    }
    // A pointer move without buttons at a pattern position.
    void HoverAt(float x, float y)
    {
        editor.m_pointer = PointF{x, y};
        editor.UpdateHit(pattern);
    }
    uint32_t Press(uint32_t keyState) { return editor.OnEditEvent(WM_LBUTTONDOWN, keyState + 256, pattern); }

    FakeHost host;
    CPatternEditor editor;
    CPattern pattern = Line3();
};

TEST_F(EditorTest, DraggingAPointMovesItToThePointerAndKeepsTheTarget)
{
    HoverAt(-48.0f, 3.0f);  // near point 1
    ASSERT_EQ(editor.m_hitKind, HIT_POINT);
    ASSERT_EQ(editor.m_hitIndex, 1);
    EXPECT_EQ(Press(MK_LBUTTON), 3u);
    EXPECT_EQ(pattern.m_points[1], (PointF{-48.0f, 3.0f}));

    // Drag steps take no hit test: passing over point 2 keeps point 1 as the target.
    editor.m_pointer = PointF{50.0f, 0.0f};
    EXPECT_EQ(editor.OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON, pattern), 3u);
    editor.m_pointer = PointF{60.0f, 10.0f};
    EXPECT_EQ(editor.OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON, pattern), 3u);
    EXPECT_EQ(pattern.m_points[1], (PointF{60.0f, 10.0f}));
    EXPECT_EQ(pattern.m_points[2], (PointF{50.0f, 0.0f}));
    EXPECT_FLOAT_EQ(pattern.m_knees[0].x, (-150.0f + 60.0f) * 0.5f);

    // Shift or Ctrl held during the drag: unknown codes, the point stays.
    editor.m_pointer = PointF{70.0f, 20.0f};
    EXPECT_EQ(editor.OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, pattern), 0u);
    EXPECT_EQ(editor.OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, pattern), 0u);
    EXPECT_EQ(pattern.m_points[1], (PointF{60.0f, 10.0f}));
}

TEST_F(EditorTest, PressAndDragOnEmptySpaceChangeNothing)
{
    HoverAt(0.0f, 80.0f);
    ASSERT_EQ(editor.m_hitKind, HIT_NONE);
    CPattern before = pattern;
    EXPECT_EQ(Press(MK_LBUTTON), 1u);
    EXPECT_EQ(Press(MK_LBUTTON | MK_SHIFT), 1u);
    EXPECT_EQ(editor.OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON, pattern), 1u);
    EXPECT_EQ(0, std::memcmp(&before, &pattern, sizeof pattern));
}

TEST_F(EditorTest, KneePressesStepDirectionAndToggleHide)
{
    HoverAt(1.0f, 1.0f);  // knee of segment 1
    ASSERT_EQ(editor.m_hitKind, HIT_KNEE);
    ASSERT_EQ(editor.m_hitIndex, 1);

    pattern.m_kneeFlags[1] = KNEE_HIDE;  // a hidden knee steps to reverse, hide cleared
    EXPECT_EQ(Press(MK_LBUTTON), 3u);
    EXPECT_EQ(pattern.m_kneeFlags[1], KNEE_REVERSE);
    EXPECT_EQ(Press(MK_LBUTTON), 3u);
    EXPECT_EQ(pattern.m_kneeFlags[1], KNEE_MIRROR);
    pattern.m_kneeFlags[1] = KNEE_STATIC | KNEE_REVERSE | KNEE_MIRROR;
    EXPECT_EQ(Press(MK_LBUTTON), 3u);
    EXPECT_EQ(pattern.m_kneeFlags[1], 0);

    EXPECT_EQ(Press(MK_LBUTTON | MK_SHIFT), 3u);
    EXPECT_EQ(pattern.m_kneeFlags[1], KNEE_HIDE);
    EXPECT_EQ(Press(MK_LBUTTON | MK_SHIFT), 3u);
    EXPECT_EQ(pattern.m_kneeFlags[1], 0);
    // A drag that starts on a knee moves nothing.
    EXPECT_EQ(editor.OnEditEvent(WM_MOUSEMOVE, MK_LBUTTON, pattern), 1u);
}

TEST_F(EditorTest, CtrlPressAddsAndRemovesWithRefusals)
{
    HoverAt(0.0f, 60.0f);  // nothing hit; nearest is knee 1: insert after point 1
    ASSERT_EQ(editor.m_hitKind, HIT_NONE);
    EXPECT_EQ(Press(MK_LBUTTON | MK_CONTROL), 3u);
    ASSERT_EQ(pattern.m_count, 4);
    EXPECT_EQ(pattern.m_points[2], (PointF{0.0f, 60.0f}));

    HoverAt(0.0f, 60.0f);
    ASSERT_EQ(editor.m_hitKind, HIT_POINT);
    EXPECT_EQ(Press(MK_LBUTTON | MK_CONTROL), 3u);
    EXPECT_EQ(pattern.m_count, 3);

    // At the minimum the removal is refused: handled, no redraw, nothing changed.
    pattern.RemovePoint(1);
    ASSERT_EQ(pattern.m_count, 2);
    HoverAt(pattern.m_points[1].x, pattern.m_points[1].y);
    ASSERT_EQ(editor.m_hitKind, HIT_POINT);
    CPattern before = pattern;
    EXPECT_EQ(Press(MK_LBUTTON | MK_CONTROL), 1u);
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_POINT_REMOVE, pattern), 1u);
    EXPECT_EQ(0, std::memcmp(&before, &pattern, sizeof pattern));

    // A full pattern refuses additions from both the gesture and the menu.
    while (pattern.m_count < PATTERN_MAX_SEGMENTS)
        pattern.InsertPoint(pattern.m_count, PointF{static_cast<float>(pattern.m_count) * 300.0f, 0.0f});
    HoverAt(0.0f, 5000.0f);
    before = pattern;
    EXPECT_EQ(Press(MK_LBUTTON | MK_CONTROL), 1u);
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_POINT_ADD, pattern), 1u);
    EXPECT_EQ(0, std::memcmp(&before, &pattern, sizeof pattern));
}

TEST_F(EditorTest, UnknownCodesAreNotHandled)
{
    HoverAt(-50.0f, 0.0f);
    CPattern before = pattern;
    EXPECT_EQ(Press(MK_LBUTTON | MK_CONTROL | MK_SHIFT), 0u);               // 269
    EXPECT_EQ(editor.OnEditEvent(WM_RBUTTONDOWN, 256 + MK_RBUTTON + MK_SHIFT, pattern), 0u);    // 262
    EXPECT_EQ(editor.OnEditEvent(WM_RBUTTONDOWN, 256 + MK_RBUTTON + MK_CONTROL, pattern), 0u);  // 266
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(0, std::memcmp(&before, &pattern, sizeof pattern));
}

TEST_F(EditorTest, RightPressOpensTheSubMenuOfTheHitWithKneeChecks)
{
    editor.m_lastClient = POINT{12, 34};
    HoverAt(100.0f, 0.0f);  // knee 2
    pattern.m_kneeFlags[2] = KNEE_REVERSE | KNEE_HIDE | 0x30;
    EXPECT_EQ(editor.OnEditEvent(WM_RBUTTONDOWN, 256 + MK_RBUTTON, pattern), 1u);
    ASSERT_EQ(host.menus.size(), 1u);
    EXPECT_EQ(host.menus[0].subMenu, HIT_KNEE);
    EXPECT_EQ(host.menus[0].checks, KNEE_REVERSE | KNEE_HIDE);
    EXPECT_EQ(host.menus[0].at, (POINT{12, 34}));
    EXPECT_TRUE(editor.m_bHitRefreshPending);

    // The command arrives later and acts on the knee of the right press.
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_KNEE_MIRROR, pattern), 3u);
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_KNEE_STATIC, pattern), 3u);
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_KNEE_HIDE, pattern), 3u);
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_KNEE_REVERSE, pattern), 3u);
    EXPECT_EQ(pattern.m_kneeFlags[2], KNEE_MIRROR | KNEE_STATIC | 0x30);

    // Reopening shows the new flags.
    EXPECT_EQ(editor.OnEditEvent(WM_RBUTTONDOWN, 256 + MK_RBUTTON, pattern), 1u);
    EXPECT_EQ(host.menus.back().checks, KNEE_MIRROR | KNEE_STATIC);

    HoverAt(0.0f, 500.0f);
    editor.OnEditEvent(WM_RBUTTONDOWN, 256 + MK_RBUTTON, pattern);
    EXPECT_EQ(host.menus.back().subMenu, HIT_NONE);
    HoverAt(150.0f, 0.0f);
    editor.OnEditEvent(WM_RBUTTONDOWN, 256 + MK_RBUTTON, pattern);
    EXPECT_EQ(host.menus.back().subMenu, HIT_POINT);
}

TEST_F(EditorTest, SetCoordinateRedrawsOnlyWhenConfirmed)
{
    HoverAt(50.0f, 0.0f);
    ASSERT_EQ(editor.m_hitKind, HIT_POINT);
    host.confirm = false;
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_POINT_SET_COORDINATE, pattern), 1u);
    EXPECT_EQ(pattern.m_points[2], (PointF{50.0f, 0.0f}));
    host.confirm = true;
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_POINT_SET_COORDINATE, pattern), 3u);
    EXPECT_EQ(pattern.m_points[2], host.dialogValue);
    EXPECT_EQ(host.dialogRuns, 2);
}

TEST_F(EditorTest, CursorFollowsCtrlAndHitKind)
{
    struct Case {
        float x, y;
        bool ctrl;
        uint8_t cursor;
    } cases[] = {
        {0.0f, 500.0f, false, CURSOR_ARROW}, {0.0f, 500.0f, true, CURSOR_ADD},
        {0.0f, 0.0f, false, CURSOR_KNEE},    {0.0f, 0.0f, true, CURSOR_ADD},
        {50.0f, 0.0f, false, CURSOR_MOVE},   {50.0f, 0.0f, true, CURSOR_REMOVE},
    };
    for (const Case& c : cases) {
        HoverAt(c.x, c.y);
        editor.m_bCtrl = c.ctrl;
        editor.UpdateCursor();
        EXPECT_EQ(editor.m_cursorIndex, c.cursor) << c.x << "," << c.y << " ctrl " << c.ctrl;
    }
}

TEST_F(EditorTest, NavigationZoomsPansAndRestores)
{
    // The wheel zooms about the pointer: the pattern point under it keeps its pixel.
    editor.m_pointer = PointF{30.0f, -20.0f};
    POINT before = editor.m_transform.WorldToScreen(editor.m_pointer);
    EXPECT_EQ(editor.OnNavigateEvent(WM_MOUSEWHEEL, static_cast<uint64_t>(120) << 16), 3u);
    EXPECT_NEAR(editor.m_transform.m_scale, std::exp(0.1), 1e-5);
    POINT after = editor.m_transform.WorldToScreen(editor.m_pointer);
    EXPECT_LE(std::abs(after.x - before.x), 1);
    EXPECT_LE(std::abs(after.y - before.y), 1);
    // A negative delta arrives as the high word of the parameter.
    editor.OnNavigateEvent(WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<uint16_t>(-240)) << 16);
    EXPECT_NEAR(editor.m_transform.m_scale, std::exp(-0.1), 1e-5);

    // Middle press then move pans; the point under the press stays under the pointer.
    editor.m_transform.Reset();
    editor.m_transform.m_scale = 2.0f;
    editor.m_lastClient = POINT{400, 300};
    EXPECT_EQ(editor.OnNavigateEvent(WM_MBUTTONDOWN, MK_MBUTTON + 256), 1u);
    editor.m_lastClient = POINT{410, 310};
    EXPECT_EQ(editor.OnNavigateEvent(WM_MOUSEMOVE, MK_MBUTTON), 3u);
    EXPECT_FLOAT_EQ(editor.m_transform.m_origin.x, -5.0f);
    EXPECT_FLOAT_EQ(editor.m_transform.m_origin.y, 5.0f);

    // Moves with another key held are no pan; Ctrl + middle press does nothing.
    EXPECT_EQ(editor.OnNavigateEvent(WM_MOUSEMOVE, MK_MBUTTON | MK_SHIFT), 0u);
    EXPECT_EQ(editor.OnNavigateEvent(WM_MBUTTONDOWN, MK_MBUTTON + MK_CONTROL + 256), 0u);
    EXPECT_FLOAT_EQ(editor.m_transform.m_origin.x, -5.0f);

    EXPECT_EQ(editor.OnNavigateEvent(WM_MBUTTONDOWN, MK_MBUTTON + MK_SHIFT + 256), 3u);
    EXPECT_EQ(editor.m_transform.m_scale, 1.0f);
    EXPECT_EQ(editor.m_transform.m_origin, (PointF{0.0f, 0.0f}));
    editor.m_transform.m_scale = 3.0f;
    EXPECT_EQ(editor.OnNavigateEvent(WM_COMMAND, ID_VIEW_RESTORE_DEFAULT), 3u);
    EXPECT_EQ(editor.m_transform.m_scale, 1.0f);
}

TEST_F(EditorTest, SetAsDefaultViewKeepsEveryPointOnItsPixel)
{
    editor.m_transform.m_origin = PointF{10.0f, 20.0f};
    editor.m_transform.m_scale = 2.0f;
    std::vector<POINT> pixels;
    for (int i = 0; i <= pattern.m_count; ++i)
        pixels.push_back(editor.m_transform.WorldToScreen(pattern.m_points[i]));
    EXPECT_EQ(editor.OnEditEvent(WM_COMMAND, ID_VIEW_SET_DEFAULT, pattern), 3u);
    EXPECT_EQ(editor.m_transform.m_scale, 1.0f);
    for (int i = 0; i <= pattern.m_count; ++i)
        EXPECT_EQ(editor.m_transform.WorldToScreen(pattern.m_points[i]), pixels[static_cast<size_t>(i)]) << i;
}

TEST(SetCoordinate, FieldsUseAPointAndBadTextKeepsTheCoordinate)
{
    EXPECT_EQ(CoordinateText(-11.8f), "-11.800000");
    CPattern p = Line3();
    ApplySetCoordinate(p, 1, " 2.5", "-3e1");
    EXPECT_EQ(p.m_points[1], (PointF{2.5f, -30.0f}));
    EXPECT_FLOAT_EQ(p.m_knees[0].x, (-150.0f + 2.5f) * 0.5f);
    ApplySetCoordinate(p, 1, "abc", "nan");
    EXPECT_EQ(p.m_points[1], (PointF{2.5f, -30.0f}));
    ApplySetCoordinate(p, 1, "", "4");
    EXPECT_EQ(p.m_points[1], (PointF{2.5f, 4.0f}));
}

}  // namespace
