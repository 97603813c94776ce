// A running editor for the GUI tests: the application with its document, frame and view,
// shown and active, with an empty recent-file list.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

#include "app/iteration_bar_qt.h"
#include "app/main_frame_qt.h"
#include "app/recent_file_list_qt.h"
#include "app/zarnix4_app_qt.h"
#include "document/zarnix4_doc.h"
#include "gui_test_support.h"
#include "interaction/iteration_bar_rules.h"
#include "view/zarnix4_view_qt.h"

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gui_test::App();
        QSettings(QString::fromLatin1(CRecentFileList::kOrganization), QString::fromLatin1(CRecentFileList::kApplication)).clear();
        m_app = std::make_unique<CZarnix4App>();
        ASSERT_TRUE(m_app->InitInstance(QString()));
        frame = m_app->MainFrame();
        view = frame->View();
        bar = frame->IterationBar();
        frame->resize(800, 600);
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        m_app.reset();
        QCoreApplication::processEvents();
    }

    // The toolbar button of a command.
    QToolButton* Button(uint32_t id) const
    {
        return qobject_cast<QToolButton*>(frame->ToolBar()->widgetForAction(frame->Action(id)));
    }
    QLineEdit* Field(int id) const { return bar->Field(id); }
    QString Pane0() const { return frame->MessagePane()->text(); }
    // The window title as the desktop shows it: "*" in place of "[*]" while modified.
    QString Title() const
    {
        QString title = frame->windowTitle();
        return title.replace(QStringLiteral("[*]"), frame->isWindowModified() ? QStringLiteral("*") : QString());
    }
    // Clears a field and types `text` into it, key by key.
    void TypeInto(int id, const QString& text)
    {
        QLineEdit* field = Field(id);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    // Waits for the pending paint and answers whether it regenerated the picture.
    bool PaintRegenerates()
    {
        const int before = view->SceneCount();
        view->repaint();
        return view->SceneCount() > before;
    }

    std::unique_ptr<CZarnix4App> m_app;
    CMainFrame* frame = nullptr;
    CZarnix4View* view = nullptr;
    CIterationBar* bar = nullptr;
};
