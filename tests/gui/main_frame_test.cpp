// The main frame as the user sees it: menus, toolbar, accelerators, switches, bars, full
// screen and the status prompts.
#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>

#include <QDialog>

#include "editor_fixture.h"

namespace {

// The menu as text: each item's text, "-" for a separator, hidden items left out.
QStringList MenuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isVisible())
            continue;
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

}  // namespace

TEST_F(EditorTest, MenuBarHoldsTheFourMenusInOrder)
{
    QStringList titles;
    for (QAction* action : frame->menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Help"}));

    EXPECT_EQ(MenuTexts(frame->FileMenu()),
              QStringList({"&New\tCtrl+N", "&Open...\tCtrl+O", "Examp&les", "&Save\tCtrl+S", "Save &As...", "-",
                           "&Export...\tCtrl+E", "-", "Recent File", "-", "E&xit\tCtrl+Q"}));
    EXPECT_EQ(MenuTexts(frame->ViewMenu()),
              QStringList({"&Toolbar", "&Iteration Bar", "&Status Bar", "-", "Full Screen\tF11", "-",
                           "Show &Pattern\tCtrl+P", "Show &Fractal\tCtrl+F", "Fill &Mode\tCtrl+M",
                           "Smoot&h Drawing", "Handl&es", "&Grid", "Grid Settings...",
                           "S&nap to Grid\tCtrl+G", "-",
                           "Fit Fr&actal\tCtrl+0", "&Zoom In\tCtrl++", "Zoom &Out\tCtrl+-", "-",
                           "Set as &Default View\tCtrl+D", "&Restore Default View\tCtrl+R"}));
    EXPECT_EQ(MenuTexts(frame->HelpMenu()), QStringList({"&Mouse and Keys\tF1", "&About Zarnix 4"}));

    // With no recent files the stand-in item is greyed.
    QAction* recent = frame->FileMenu()->actions().at(8);
    EXPECT_FALSE(recent->isEnabled());

    // Check marks at start: the Iteration Bar shown, pattern and fractal on, fill off.
    EXPECT_TRUE(frame->Action(ID_VIEW_ITERATION_BAR)->isChecked());
    EXPECT_TRUE(frame->Action(ID_VIEW_SHOW_PATTERN)->isChecked());
    EXPECT_TRUE(frame->Action(ID_VIEW_SHOW_FRACTAL)->isChecked());
    EXPECT_FALSE(frame->Action(ID_VIEW_FILL_MODE)->isChecked());
    EXPECT_FALSE(frame->Action(ID_VIEW_FULL_SCREEN)->isChecked());
}

TEST_F(EditorTest, ToolbarHasNineButtonsInOrderWithTheirTips)
{
    QList<uint32_t> order;
    for (QAction* action : frame->ToolBar()->actions())
        order << (action->isSeparator() ? 0u : action->data().toUInt());
    EXPECT_EQ(order, QList<uint32_t>({ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_EXPORT, 0, ID_VIEW_FULL_SCREEN, 0,
                                      ID_VIEW_SHOW_PATTERN, ID_VIEW_SHOW_FRACTAL, ID_VIEW_FILL_MODE, 0, ID_APP_ABOUT}));
    for (QAction* action : frame->ToolBar()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->icon().isNull()) << action->data().toUInt();
        }
    }
    EXPECT_EQ(frame->Action(ID_FILE_NEW)->toolTip(), "New");
    EXPECT_EQ(frame->Action(ID_VIEW_SHOW_PATTERN)->toolTip(), "Toggle Pattern");
    EXPECT_EQ(frame->Action(ID_APP_ABOUT)->toolTip(), "About");
    // The toolbar and the Iteration Bar are two bands of the top area, side by side.
    EXPECT_EQ(frame->toolBarArea(frame->ToolBar()), Qt::TopToolBarArea);
    EXPECT_EQ(frame->toolBarArea(bar), Qt::TopToolBarArea);
    EXPECT_FALSE(frame->toolBarBreak(bar));
    EXPECT_LT(frame->ToolBar()->geometry().right(), bar->geometry().left());
}

TEST_F(EditorTest, AcceleratorsToggleSwitchesInMenuToolbarAndRenderer)
{
    struct Switch {
        Qt::Key key;
        uint32_t id;
        uint8_t CZarnix4View::*value;
    };
    const Switch switches[] = {{Qt::Key_P, ID_VIEW_SHOW_PATTERN, &CZarnix4View::m_bShowPattern},
                               {Qt::Key_F, ID_VIEW_SHOW_FRACTAL, &CZarnix4View::m_bShowFractal},
                               {Qt::Key_M, ID_VIEW_FILL_MODE, &CZarnix4View::m_bFill}};
    for (const Switch& s : switches) {
        const bool start = view->*s.value != 0;
        QTest::keyClick(frame, s.key, Qt::ControlModifier);
        EXPECT_EQ(view->*s.value != 0, !start) << s.id;
        EXPECT_EQ(frame->Action(s.id)->isChecked(), !start);
        EXPECT_EQ(Button(s.id)->isChecked(), !start);
        EXPECT_TRUE(PaintRegenerates());
        QTest::keyClick(frame, s.key, Qt::ControlModifier);
        EXPECT_EQ(view->*s.value != 0, start);
        EXPECT_EQ(frame->Action(s.id)->isChecked(), start);
        EXPECT_EQ(Button(s.id)->isChecked(), start);
    }
    // The toolbar button does the same.
    QTest::mouseClick(Button(ID_VIEW_FILL_MODE), Qt::LeftButton);
    EXPECT_EQ(view->m_bFill, 1);
    EXPECT_TRUE(frame->Action(ID_VIEW_FILL_MODE)->isChecked());
    EXPECT_TRUE(Button(ID_VIEW_FILL_MODE)->isChecked());
}

TEST_F(EditorTest, KeysWithoutCommandsDoNothing)
{
    CZarnix4Doc& doc = *m_app->Document();
    const CPattern before = doc.m_pattern;
    const auto transform = view->m_transform;
    const QString caption = frame->windowTitle();
    view->repaint();
    QTest::keyClick(frame, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_F6);
    QTest::keyClick(frame, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_FALSE(PaintRegenerates());
    EXPECT_EQ(doc.m_pattern.m_count, before.m_count);
    EXPECT_EQ(doc.m_pattern.m_points[1].x, before.m_points[1].x);
    EXPECT_EQ(view->m_transform.m_scale, transform.m_scale);
    EXPECT_EQ(frame->windowTitle(), caption);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(view->m_bShowPattern + view->m_bShowFractal + view->m_bFill, 2);
}

TEST_F(EditorTest, DefaultViewCommandsReachTheView)
{
    view->m_transform.m_origin = PointF{40.0f, -10.0f};
    view->m_transform.m_scale = 2.0f;
    view->repaint();
    // Restore Default View returns to origin (0, 0), scale 1, and redraws.
    QTest::keyClick(frame, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(view->m_transform.m_scale, 1.0f);
    EXPECT_EQ(view->m_transform.m_origin.x, 0.0f);
    EXPECT_TRUE(PaintRegenerates());
    // Set as Default View bakes the view into the points: the picture stays where it was.
    const PointF p0 = m_app->Document()->m_pattern.m_points[0];
    view->m_transform.m_scale = 2.0f;
    const POINT shown = view->m_transform.WorldToScreen(p0);
    QTest::keyClick(frame, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(view->m_transform.m_scale, 1.0f);
    const POINT after = view->m_transform.WorldToScreen(m_app->Document()->m_pattern.m_points[0]);
    EXPECT_NEAR(after.x, shown.x, 1);
    EXPECT_NEAR(after.y, shown.y, 1);
}

TEST_F(EditorTest, BarTogglesFollowWithCheckMarks)
{
    QAction* iterationBar = frame->Action(ID_VIEW_ITERATION_BAR);
    iterationBar->trigger();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_FALSE(iterationBar->isChecked());
    iterationBar->trigger();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(iterationBar->isChecked());

    frame->Action(ID_VIEW_TOOLBAR)->trigger();
    EXPECT_TRUE(frame->ToolBar()->isHidden());
    EXPECT_FALSE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
    frame->Action(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_FALSE(frame->Action(ID_VIEW_STATUS_BAR)->isChecked());
    // Hidden bars do not take the switches' accelerators with them.
    QTest::keyClick(frame, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(view->m_bFill, 1);
    frame->Action(ID_VIEW_TOOLBAR)->trigger();
    frame->Action(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_FALSE(frame->ToolBar()->isHidden());
    EXPECT_FALSE(frame->statusBar()->isHidden());
    EXPECT_TRUE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(frame->Action(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST_F(EditorTest, FullScreenTwiceReturnsToRestoredWindow)
{
    for (bool maximisedFirst : {false, true}) {
        if (maximisedFirst) {
            frame->showMaximized();
            ASSERT_TRUE(gui_test::WaitFor([&] { return frame->isMaximized(); }));
        }
        QTest::keyClick(frame, Qt::Key_F11);
        ASSERT_TRUE(gui_test::WaitFor([&] { return frame->isFullScreen(); }));
        EXPECT_TRUE(frame->Action(ID_VIEW_FULL_SCREEN)->isChecked());
        EXPECT_TRUE(Button(ID_VIEW_FULL_SCREEN)->isChecked());
        // Menus and bars stay.
        EXPECT_TRUE(frame->menuBar()->isVisible());
        EXPECT_TRUE(frame->ToolBar()->isVisible());
        EXPECT_TRUE(bar->isVisible());
        EXPECT_TRUE(frame->statusBar()->isVisible());

        QTest::keyClick(frame, Qt::Key_F11);
        ASSERT_TRUE(gui_test::WaitFor([&] { return !frame->isFullScreen(); }));
        EXPECT_FALSE(frame->isMaximized()) << "maximised first: " << maximisedFirst;
        EXPECT_FALSE(frame->Action(ID_VIEW_FULL_SCREEN)->isChecked());
        EXPECT_FALSE(Button(ID_VIEW_FULL_SCREEN)->isChecked());
    }
}

TEST_F(EditorTest, StatusPanes)
{
    EXPECT_EQ(Pane0(), "Ready");
    // The second pane is a quarter of the screen wide; in a window as wide as the screen the
    // message pane takes most of the rest, beside the metrics.
    const int wide = frame->screen()->availableGeometry().width();
    frame->resize(wide, frame->height());
    ASSERT_TRUE(gui_test::WaitFor([&] { return frame->width() == wide && frame->MetricsPane()->isVisible(); }));
    EXPECT_EQ(frame->PointerPane()->width(), frame->screen()->geometry().width() / 4);
    EXPECT_GT(frame->MessagePane()->width(), frame->PointerPane()->width());
    // In a narrow window the metrics give way, and the message pane keeps their room.
    const int metrics = frame->MetricsPane()->sizeHint().width();
    frame->resize(frame->PointerPane()->width() + metrics + 80, frame->height());
    EXPECT_TRUE(gui_test::WaitFor([&] {
        return !frame->MetricsPane()->isVisible() && frame->MessagePane()->width() >= metrics;
    })) << frame->MessagePane()->width() << " " << metrics;
}

TEST_F(EditorTest, ToolbarFlyByPromptsAndReady)
{
    QToolButton* open = Button(ID_FILE_OPEN);
    QTest::mouseMove(open);
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pane0() == QString("Open an existing document"); }));
    EXPECT_EQ(Pane0(), QString("Open an existing document"));
    // Over the picture the pane says what a click does there; off it, "Ready" again.
    QTest::mouseMove(view, QPoint(200, 200));
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pane0() == view->HintText(); }));
    EXPECT_FALSE(view->HintText().isEmpty());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pane0() == QString("Ready"); }));
    EXPECT_EQ(Pane0(), QString("Ready"));
}

TEST_F(EditorTest, MenuPromptsAndExportingRule)
{
    QMenu* file = frame->FileMenu();
    auto highlight = [&](QMenu* menu, uint32_t id) {
        for (int i = 0; i < 20 && (menu->activeAction() == nullptr || menu->activeAction()->data().toUInt() != id); ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        return menu->activeAction() != nullptr && menu->activeAction()->data().toUInt() == id;
    };

    // Highlighting Export and closing the menu with Escape leaves "Exporting...".
    file->popup(frame->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(gui_test::WaitFor([&] { return file->isVisible(); }));
    ASSERT_TRUE(highlight(file, ID_FILE_NEW));
    EXPECT_EQ(Pane0(), "Create a new document");
    ASSERT_TRUE(highlight(file, ID_FILE_EXPORT));
    EXPECT_EQ(Pane0(), "Export the active document");
    QTest::keyClick(file, Qt::Key_Escape);
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pane0() == QString("Exporting..."); }));
    EXPECT_EQ(Pane0(), QString("Exporting..."));
    EXPECT_EQ(frame->PendingIdlePrompt(), 0u);
    // It lasts until the next prompt; the next idle request then shows "Ready".
    frame->OnSetMessageString(AFX_IDS_IDLEMESSAGE);
    EXPECT_EQ(Pane0(), "Ready");

    // Highlighting another item after Export clears the pending prompt.
    file->popup(frame->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(gui_test::WaitFor([&] { return file->isVisible(); }));
    ASSERT_TRUE(highlight(file, ID_FILE_EXPORT));
    ASSERT_TRUE(highlight(file, ID_APP_EXIT));
    EXPECT_EQ(Pane0(), "Quit the application; prompts to save documents");
    QTest::keyClick(file, Qt::Key_Escape);
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pane0() == QString("Ready"); }));
    EXPECT_EQ(Pane0(), QString("Ready"));

    // Commands without a string have an empty prompt.
    QMenu* viewMenu = frame->ViewMenu();
    viewMenu->popup(frame->mapToGlobal(QPoint(60, 10)));
    ASSERT_TRUE(gui_test::WaitFor([&] { return viewMenu->isVisible(); }));
    ASSERT_TRUE(highlight(viewMenu, ID_VIEW_TOOLBAR));
    EXPECT_EQ(Pane0(), "Show or hide the toolbar");
    ASSERT_TRUE(highlight(viewMenu, ID_VIEW_ITERATION_BAR));
    EXPECT_EQ(Pane0(), "");
    ASSERT_TRUE(highlight(viewMenu, ID_VIEW_FULL_SCREEN));
    EXPECT_EQ(Pane0(), "");
    QTest::keyClick(viewMenu, Qt::Key_Escape);
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pane0() == QString("Ready"); }));
    EXPECT_EQ(Pane0(), QString("Ready"));

    // Export by its accelerator selects no menu item: no "Exporting..." while its dialog runs.
    QString whileOpen;
    gui_test::OnNextModal([&](QWidget* modal) {
        whileOpen = Pane0();
        qobject_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClick(frame, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(whileOpen, "Ready");
    EXPECT_EQ(Pane0(), "Cancel");

    // Export chosen from the menu: "Exporting..." stays while its dialog is open.
    QStringList whileChosen;
    gui_test::OnNextModal([&](QWidget* modal) {
        QTest::qWait(100);  // a few turns of the event loop
        whileChosen << Pane0();
        qobject_cast<QDialog*>(modal)->reject();
    });
    file->popup(frame->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(gui_test::WaitFor([&] { return file->isVisible(); }));
    ASSERT_TRUE(highlight(file, ID_FILE_EXPORT));
    QTest::keyClick(file, Qt::Key_Return);
    EXPECT_TRUE(gui_test::WaitFor([&] { return !whileChosen.isEmpty(); }));
    EXPECT_EQ(whileChosen, QStringList{"Exporting..."});
    EXPECT_EQ(Pane0(), "Cancel");
}
