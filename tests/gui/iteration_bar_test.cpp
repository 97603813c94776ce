// The Iteration Bar driven by keys and the slider, as the user would.
#include "editor_fixture.h"
#include "export/file_export_dlg_qt.h"

TEST_F(EditorTest, FirstUpdateFillsTheBarFromTheSettings)
{
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "7");
    EXPECT_EQ(Field(IDC_DETAIL)->text(), "2");
    EXPECT_EQ(Field(IDC_DRAW_LIMIT)->text(), "1000");
    EXPECT_EQ(bar->Slider()->minimum(), 0);
    EXPECT_EQ(bar->Slider()->maximum(), 20);
    EXPECT_EQ(bar->Slider()->value(), 7);
}

TEST_F(EditorTest, TypingIterationsAppliesEveryAcceptableKeystroke)
{
    view->repaint();
    TypeInto(IDC_ITERATIONS, QString());
    EXPECT_EQ(view->m_nIterations, 7) << "an empty field reads 0 and is ignored";
    QTest::keyClick(Field(IDC_ITERATIONS), Qt::Key_1);
    EXPECT_EQ(view->m_nIterations, 1);
    EXPECT_EQ(bar->Slider()->value(), 1);
    EXPECT_TRUE(PaintRegenerates());
    QTest::keyClick(Field(IDC_ITERATIONS), Qt::Key_0);
    EXPECT_EQ(view->m_nIterations, 10);
    EXPECT_EQ(bar->Slider()->value(), 10);
    EXPECT_TRUE(PaintRegenerates());
    QTest::keyClick(Field(IDC_ITERATIONS), Qt::Key_0);
    EXPECT_EQ(view->m_nIterations, 10) << "100 is at the limit";
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "100") << "the typed text stays while the field has the focus";
    EXPECT_FALSE(PaintRegenerates());
    // Leaving the field shows the value in force.
    view->setFocus();
    EXPECT_TRUE(gui_test::WaitFor([&] { return Field(IDC_ITERATIONS)->text() == QString("10"); }));
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), QString("10"));
    EXPECT_EQ(view->m_nIterations, 10);
}

TEST_F(EditorTest, FieldsTakeOnlyDigits)
{
    TypeInto(IDC_DETAIL, "-5x");
    EXPECT_EQ(Field(IDC_DETAIL)->text(), "5");
    EXPECT_EQ(view->m_nDetail, 5);
}

TEST_F(EditorTest, DetailAndDrawLimitLimits)
{
    TypeInto(IDC_DRAW_LIMIT, "59999");
    EXPECT_EQ(view->m_nDrawLimit, 59999);
    TypeInto(IDC_DRAW_LIMIT, "60000");
    EXPECT_EQ(view->m_nDrawLimit, 6000) << "the digits 6, 60, 600, 6000 came before 60000";
    TypeInto(IDC_DRAW_LIMIT, "0");
    EXPECT_EQ(view->m_nDrawLimit, 6000);
    bar->Slider()->setFocus();
    EXPECT_TRUE(gui_test::WaitFor([&] { return Field(IDC_DRAW_LIMIT)->text() == QString("6000"); }));
    EXPECT_EQ(Field(IDC_DRAW_LIMIT)->text(), QString("6000"));

    TypeInto(IDC_DETAIL, "99");
    EXPECT_EQ(view->m_nDetail, 99);
    TypeInto(IDC_DETAIL, "100");
    EXPECT_EQ(view->m_nDetail, 10);
    // Neither field touches the iterations or the slider.
    EXPECT_EQ(view->m_nIterations, 7);
    EXPECT_EQ(bar->Slider()->value(), 7);
}

TEST_F(EditorTest, SliderSetsIterationsDownToZero)
{
    QSlider* slider = bar->Slider();
    slider->setFocus();
    view->repaint();
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(view->m_nIterations, 0);
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "0");
    EXPECT_TRUE(PaintRegenerates());
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(view->m_nIterations, 1);
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "1");
}

TEST_F(EditorTest, EverySliderActionAppliesItsPositionAlsoAtTheEnd)
{
    QSlider* slider = bar->Slider();
    for (int way = 0; way < 2; ++way) {
        TypeInto(IDC_ITERATIONS, "25");
        ASSERT_EQ(slider->value(), 20);
        slider->setFocus();
        if (way == 0)
            QTest::keyClick(slider, Qt::Key_End);
        else  // a page step towards the end, from the end
            slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(view->m_nIterations, 20) << way;
        EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "20") << way;
    }
}

// The window's shortcuts reach the window also with the focus in a field that would take the
// key for itself (on X11 a line edit moves to the end of its line on Ctrl+E). Run on the xcb
// platform as well, under Xvfb, by the test list.
TEST_F(EditorTest, WindowShortcutsWinOverTheFieldsOwnKeys)
{
    for (int id : {IDC_ITERATIONS, IDC_DRAW_LIMIT}) {
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        Field(id)->setFocus();
        bool opened = false;
        gui_test::OnNextModal([&opened](QWidget* modal) {
            opened = qobject_cast<CFileExportDlg*>(modal) != nullptr;
            qobject_cast<QDialog*>(modal)->reject();
        });
        QTest::keyClick(Field(id), Qt::Key_E, Qt::ControlModifier);
        EXPECT_TRUE(gui_test::WaitFor([&] { return opened; }, 3000)) << id;
        EXPECT_EQ(Pane0(), "Cancel");
    }
    // The field's own editing keys stay the field's: select all, then type over it.
    Field(IDC_ITERATIONS)->setFocus();
    QTest::keyClick(Field(IDC_ITERATIONS), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Field(IDC_ITERATIONS), "3");
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "3");
}

TEST_F(EditorTest, IterationsAboveTwentyPutSliderAtItsEnd)
{
    TypeInto(IDC_ITERATIONS, "50");
    EXPECT_EQ(view->m_nIterations, 50);
    EXPECT_EQ(bar->Slider()->value(), 20);
    bar->Slider()->setFocus();
    QTest::keyClick(bar->Slider(), Qt::Key_Left);
    EXPECT_EQ(view->m_nIterations, 19);
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "19");
}
