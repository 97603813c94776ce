// The editing protocol without a window: highlight and hints, snap, and where undoable steps begin.
#include "interaction/edit_gestures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FakeHost : IGestureHost {
    struct Step {
        std::string name;
        int mergeKey;
        bool changed;
    };
    std::vector<Step> steps;
    std::vector<std::string> hints{""};
    std::string message;
    uint8_t cursor = 255;
    int redraws = 0;
    int repaints = 0;
    int keys = 0;
    POINT pointer{};

    void ShowCursor(uint8_t index) override { cursor = index; }
    void TrackContextMenu(uint8_t, uint8_t, POINT) override {}
    bool RunSetCoordinateDialog(CPattern&, int) override { return false; }
    void Redraw() override { ++redraws; }
    void RepaintHandles() override { ++repaints; }
    void ShowPointerPosition() override {}
    void ShowHint(const std::string& text) override { hints.push_back(text); }
    void ShowMessage(const std::string& text) override { message = text; }
    int NewMergeKey() override { return ++keys; }
    void RecordEditStep(const std::string& name, const CPattern& before, int mergeKey) override
    {
        steps.push_back({name, mergeKey, std::memcmp(&before, pattern, sizeof before) != 0});
    }
    POINT PointerPosition() const override { return pointer; }
    bool IsInView(POINT p) const override { return p.x >= 0 && p.y >= 0 && p.x < 800 && p.y < 600; }
    const CPattern* pattern = nullptr;
};

class GesturesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Points at x = -150, -50, 50, 150 on the x axis; knees at -100, 0, 100.
        pattern.m_count = 3;
        for (int i = 0; i <= 3; ++i)
            pattern.m_points[i] = PointF{-150.0f + 100.0f * static_cast<float>(i), 0.0f};
        for (int i = 0; i < 3; ++i)
            pattern.m_kneeFlags[i] = 0;
        pattern.UpdateKnees();
        editor.m_pOwner = &host;
        editor.m_transform.m_center = POINT{400, 300};
        host.pattern = &pattern;
        gestures.SetPattern(&pattern);
    }
    // The client pixel of a pattern point (scale 1, centre 400, 300).
    static POINT Px(float x, float y) { return POINT{400 + static_cast<int32_t>(x), 300 - static_cast<int32_t>(y)}; }
    void Hover(POINT at, KeyModifiers keys = {}) { gestures.PointerMoved(at, {}, keys); }
    // Answers the index of the point under `from`.
    int Drag(POINT from, POINT to, KeyModifiers keys = {})
    {
        Hover(from, keys);
        const int index = editor.m_hitIndex;
        gestures.ButtonPressed(PointerButton::Left, from, {.left = true}, keys);
        gestures.PointerMoved(POINT{(from.x + to.x) / 2, (from.y + to.y) / 2}, {.left = true}, keys);
        gestures.PointerMoved(to, {.left = true}, keys);
        gestures.ButtonReleased(PointerButton::Left);
        return index;
    }
    bool HasPoint(PointF p) const
    {
        for (int i = 0; i <= pattern.m_count; ++i)
            if (pattern.m_points[i] == p)
                return true;
        return false;
    }
    void Click(POINT at, KeyModifiers keys = {})
    {
        Hover(at, keys);
        gestures.ButtonPressed(PointerButton::Left, at, {.left = true}, keys);
        gestures.ButtonReleased(PointerButton::Left);
    }

    CPattern pattern;
    FakeHost host;
    CPatternEditor editor;
    CEditGestures gestures{editor, host};
};

TEST_F(GesturesTest, HighlightHintAndCursorFollowThePointer)
{
    Hover(Px(0, 0));
    EXPECT_EQ(host.hints.back().rfind("Knee 1 (forward): click steps the direction", 0), 0u);
    EXPECT_EQ(host.cursor, CURSOR_KNEE);
    Hover(Px(0, 100));
    EXPECT_EQ(host.hints.back(), "Ctrl+click adds a point to segment 1");
    EXPECT_EQ(host.cursor, CURSOR_ARROW);

    Hover(Px(-50, 0));
    EXPECT_EQ(gestures.ShownHandles(), (HandlesState{HIT_POINT, 1, false}));
    EXPECT_EQ(host.hints.back(), "Point 1: drag to move \xC2\xB7 Ctrl+click removes \xC2\xB7 right-click for more");
    EXPECT_EQ(host.cursor, CURSOR_MOVE);
    EXPECT_GT(host.repaints, 0);
    // Once painted with that state, a move that keeps it asks for no repaint.
    gestures.HandlesPainted(gestures.ShownHandles());
    const int repaints = host.repaints;
    Hover(Px(-49, 1));
    EXPECT_EQ(host.repaints, repaints);

    gestures.KeyPressed(EditKey::Control);
    EXPECT_EQ(host.cursor, CURSOR_REMOVE);
    gestures.FocusLost();  // a Ctrl released elsewhere is released here too
    EXPECT_FALSE(editor.m_bCtrl);
    EXPECT_EQ(host.cursor, CURSOR_MOVE);

    // Pressed and dragged: the grabbed point is marked, also past the view's edge.
    gestures.ButtonPressed(PointerButton::Left, Px(-49, 1), {.left = true}, {});
    gestures.PointerMoved(POINT{-20, 300}, {.left = true}, {});
    EXPECT_EQ(gestures.ShownHandles(), (HandlesState{HIT_POINT, 1, true}));
    gestures.ButtonReleased(PointerButton::Left);
    EXPECT_EQ(gestures.ShownHandles(), (HandlesState{}));
    EXPECT_EQ(host.hints.back(), "");

    Hover(Px(150, 0));
    ASSERT_EQ(gestures.ShownHandles(), (HandlesState{HIT_POINT, 3, false}));
    gestures.PointerLeft();
    EXPECT_EQ(gestures.ShownHandles(), (HandlesState{}));
    EXPECT_EQ(host.hints.back(), "");
}

TEST_F(GesturesTest, ADragIsOneStepAndClicksAreSingleSteps)
{
    Drag(Px(-50, 0), Px(-40, 30));
    EXPECT_EQ(pattern.m_points[1], (PointF{-40.0f, 30.0f}));
    ASSERT_EQ(host.steps.size(), 3u);  // the press and two moves share one key
    for (const FakeHost::Step& s : host.steps) {
        EXPECT_EQ(s.name, "Move Point");
        EXPECT_EQ(s.mergeKey, host.steps[0].mergeKey);
        EXPECT_NE(s.mergeKey, 0);
    }
    Drag(Px(-40, 30), Px(-45, 20));
    EXPECT_NE(host.steps.back().mergeKey, host.steps[0].mergeKey);

    // Knee and Ctrl clicks stand alone, named by what they did.
    host.steps.clear();
    Click(Px(pattern.m_knees[0].x, pattern.m_knees[0].y));
    Click(Px(pattern.m_knees[2].x, pattern.m_knees[2].y), {.shift = true});
    Click(Px(0, -120), {.ctrl = true});
    ASSERT_EQ(host.steps.size(), 3u);
    EXPECT_EQ(host.steps[0].name, "Change Knee Direction");
    EXPECT_EQ(host.steps[1].name, "Hide Knee");
    EXPECT_EQ(host.steps[2].name, "Add Point");
    for (const FakeHost::Step& s : host.steps) {
        EXPECT_EQ(s.mergeKey, 0);
        EXPECT_TRUE(s.changed);
    }

    // After undo or redo a move with the button still held continues no earlier drag.
    Drag(Px(150, 0), Px(160, 0));
    const int key = host.steps.back().mergeKey;
    gestures.PatternRestored();
    gestures.PointerMoved(Px(170, 0), {.left = true}, {});
    EXPECT_NE(host.steps.back().mergeKey, key);
}

TEST_F(GesturesTest, SnapOnBothLatticesWithAltBypassing)
{
    gestures.SetSnap(true);
    Drag(Px(50, 0), Px(57, 33));
    EXPECT_EQ(pattern.m_points[2], (PointF{60.0f, 30.0f}));
    Drag(Px(60, 30), Px(67, 43), {.alt = true});
    EXPECT_EQ(pattern.m_points[2], (PointF{67.0f, 43.0f}));
    // Ctrl+click and the menu's Add Point put the new point on the lattice, Alt or not before.
    Click(Px(-97, 62), {.ctrl = true});
    ASSERT_EQ(pattern.m_count, 4);
    EXPECT_TRUE(HasPoint(PointF{-100.0f, 60.0f}));
    gestures.ButtonPressed(PointerButton::Right, Px(-3, -88), {.right = true}, {.alt = true});
    ASSERT_TRUE(gestures.Command(ID_POINT_ADD));
    ASSERT_EQ(pattern.m_count, 5);
    EXPECT_TRUE(HasPoint(PointF{0.0f, -90.0f}));

    // The triangular lattice: a 60-degree peak over the segment (-100 .. -50).
    gestures.SetGrid(GridSettings{GridKind::Triangular, 50.0f});
    const int peak = Drag(Px(-100, 60), Px(-72, 41));
    ASSERT_EQ(editor.m_hitKind, HIT_POINT);
    EXPECT_NEAR(pattern.m_points[peak].x, -75.0, 1e-4);
    EXPECT_NEAR(pattern.m_points[peak].y, 25.0 * std::sqrt(3.0), 1e-4);

    // Snap off: the point follows the pointer exactly.
    gestures.SetSnap(false);
    EXPECT_EQ(Drag(Px(-75, 43), Px(-71, 44)), peak);
    EXPECT_EQ(pattern.m_points[peak], (PointF{-71.0f, 44.0f}));
}

TEST_F(GesturesTest, AViewChangeTakesTheHitAnewAndARefusalIsSaid)
{
    editor.m_transform.m_scale = 2.0f;
    Hover(Px(-300, 0));  // pattern (-150, 0) at scale 2: point 0
    ASSERT_EQ(editor.m_hitKind, HIT_POINT);
    host.pointer = Px(-300, 0);
    ASSERT_TRUE(gestures.Command(ID_VIEW_RESTORE_DEFAULT));
    EXPECT_EQ(editor.m_transform.m_scale, 1.0f);
    EXPECT_EQ(editor.m_pointer, (PointF{-300.0f, 0.0f}));
    EXPECT_EQ(editor.m_hitKind, HIT_NONE);
    EXPECT_EQ(host.hints.back(), "Ctrl+click adds a point before point 0");  // not the old point's

    // Off the view the hit waits for the pointer's return.
    host.pointer = POINT{-5, 10};
    gestures.ViewChanged(false);
    gestures.Command(ID_VIEW_RESTORE_DEFAULT);
    EXPECT_TRUE(editor.m_bHitRefreshPending);
    host.pointer = Px(150, 0);
    EXPECT_TRUE(gestures.CursorRequest(true));
    EXPECT_FALSE(editor.m_bHitRefreshPending);
    EXPECT_EQ(editor.m_hitKind, HIT_POINT);
    EXPECT_EQ(editor.m_hitIndex, 3);
    EXPECT_EQ(gestures.ShownHandles(), (HandlesState{HIT_POINT, 3, false}));

    // Set as Default View that would overflow a coordinate changes nothing and says so.
    pattern.m_points[3] = PointF{1e31f, 0.0f};
    editor.m_transform.m_scale = 1e9f;
    const CPattern before = pattern;
    EXPECT_TRUE(gestures.Command(ID_VIEW_SET_DEFAULT));
    EXPECT_EQ(0, std::memcmp(&before, &pattern, sizeof before));
    EXPECT_NE(host.message.find("refused"), std::string::npos);
}

}  // namespace
