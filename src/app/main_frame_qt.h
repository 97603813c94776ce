// The main frame: the program's one top-level window with the menu bar, the toolbar and
// the Iteration Bar side by side at the top, the status bar with its two panes, and the
// view in the middle. Every command is offered to the view first; what the view leaves
// goes to the frame's own handlers and then to the application.
#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QMainWindow>
#include <QStringList>

#include <cstdint>

#include "view/zarnix4_view_qt.h"

class CIterationBar;
class CZarnix4App;
class CMouseKeysDlg;
class QLabel;
class QMenu;
class QToolBar;

// Command ids of the menus, toolbar and accelerators.
constexpr uint32_t ID_FILE_NEW = 57600;
constexpr uint32_t ID_FILE_OPEN = 57601;
constexpr uint32_t ID_FILE_SAVE = 57603;
constexpr uint32_t ID_FILE_SAVE_AS = 57604;
constexpr uint32_t ID_FILE_MRU_FILE1 = 57616;
constexpr uint32_t ID_EDIT_COPY = 57634;
constexpr uint32_t ID_EDIT_UNDO = 57643;
constexpr uint32_t ID_EDIT_REDO = 57644;
constexpr uint32_t ID_APP_ABOUT = 57664;
constexpr uint32_t ID_APP_EXIT = 57665;
constexpr uint32_t ID_NEXT_PANE = 57680;
constexpr uint32_t ID_PREV_PANE = 57681;
constexpr uint32_t ID_VIEW_TOOLBAR = 59392;
constexpr uint32_t ID_VIEW_STATUS_BAR = 59393;
constexpr uint32_t ID_VIEW_ITERATION_BAR = 32777;
constexpr uint32_t ID_VIEW_FULL_SCREEN = 32783;
constexpr uint32_t ID_VIEW_SMOOTH_DRAWING = 32820;
constexpr uint32_t ID_VIEW_LEAVE_FULL_SCREEN = 32853;
constexpr uint32_t ID_HELP_MOUSE_KEYS = 32854;
constexpr uint32_t ID_VIEW_HANDLES = 32855;
constexpr uint32_t ID_VIEW_GRID = 32856;
constexpr uint32_t ID_VIEW_GRID_SETTINGS = 32857;
constexpr uint32_t ID_VIEW_SNAP_TO_GRID = 32858;
// File > Examples: the first example's command; the others follow.
constexpr uint32_t ID_FILE_EXAMPLE_FIRST = 32860;
constexpr int EXAMPLE_COUNT_MAX = 20;
// String ids of the status texts.
constexpr uint32_t AFX_IDS_IDLEMESSAGE = 57345;
constexpr uint32_t IDS_EXPORTING = 61204;

constexpr int RECENT_FILE_COUNT = 5;

class CMainFrame : public QMainWindow, public IViewFrame {
    Q_OBJECT
public:
    // `app` receives the commands that belong to the application and the document (New,
    // Open, Save, Save As, the recent files, About, Exit and dropped files); may be null.
    explicit CMainFrame(CZarnix4App* app = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CZarnix4View* View() const { return m_view; }
    CIterationBar* IterationBar() const { return m_iterationBar; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QLabel* MessagePane() const { return m_messagePane; }
    QLabel* PointerPane() const { return m_pointerPane; }
    QLabel* MetricsPane() const { return m_metricsPane; }
    QMenu* FileMenu() const { return m_fileMenu; }
    QMenu* EditMenu() const { return m_editMenu; }
    QMenu* ViewMenu() const { return m_viewMenu; }
    QMenu* HelpMenu() const { return m_helpMenu; }
    QMenu* ExamplesMenu() const { return m_examplesMenu; }
    // Help > Mouse and Keys; made at first use.
    CMouseKeysDlg* MouseKeysDialog() const { return m_mouseKeysDlg; }
    void OnMouseKeys();
    // The window's keys and what they do, in menu order, for the Mouse and Keys window.
    QList<QPair<QString, QString>> ShortcutList() const;
    // The action of a command id (menu item, toolbar button or accelerator); null if none.
    QAction* Action(uint32_t commandId) const { return m_actions.value(commandId, nullptr); }
    bool IsFullScreenMode() const { return m_bFullScreen; }
    uint32_t PendingIdlePrompt() const { return m_nPendingPrompt; }

    // Routes a command: the view first, then the frame, then the application.
    void OnCommand(uint32_t commandId);

    void OnToggleIterationBar();
    void OnToggleToolBar();
    void OnCopyPicture();
    void OnToggleSmoothDrawing();
    void OnToggleStatusBar();
    void OnFullScreen();
    // Edit > Undo and Redo: the texts name the step, disabled when there is none.
    void UpdateUndoRedo();

    // Status prompts: the prompt of a highlighted menu item (0 for a menu title), and the
    // request for a status text by string id. Answers the id shown last before the call.
    void OnMenuSelect(uint32_t commandId);
    uint32_t OnSetMessageString(uint32_t stringId);
    // An explicit text in the message pane.
    void SetMessageText(const QString& text) override;

    // Rebuilds the recent-file entries of the File menu (most recent first).
    void SetRecentFiles(const QStringList& paths);

    // The prompt (text before "\n") and tooltip (text after it) of a command's string.
    static QString PromptText(uint32_t id);
    static QString ToolTipText(uint32_t id);
    // The text of the idle state: "Ready", or what stopped the picture while it is incomplete.
    QString IdleText() const;

    // IViewFrame
    void SetFieldValue(int fieldId, int32_t value) override;
    void SetSliderPosition(int32_t position) override;
    void SetCommandChecked(uint32_t commandId, bool checked) override;
    void SetPointerPaneText(const QString& text) override;
    void SetDrawOutcomeText(const QString& text) override;
    void SetMetricsText(const QString& text) override;
    void SetHintText(const QString& text) override;
    void OnToggleHandles();
    void OnToggleGrid();
    void OnToggleSnapToGrid();
    // View > Grid Settings: the modal dialog; the grid is shown once settings are confirmed.
    void OnGridSettings();

protected:
    bool event(QEvent* event) override;
    // Exit and the window's close button: a modified document asks to be saved first.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    QAction* MakeAction(uint32_t id, const QString& text, const QKeySequence& shortcut = QKeySequence());
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    void CreateExamplesMenu();
    // Window size, position and bar layout between runs.
    void RestoreLayout();
    void SaveLayout();
    void WatchMenu(QMenu* menu);
    void UpdateBarChecks();
    // Shows the metrics pane when the status bar has room for it beside the message pane.
    void FitMetricsPane();
    // The status bar's size grip and the gaps between its panes, roughly.
    static constexpr int kStatusBarSpacing = 24;
    bool OnFrameCommand(uint32_t commandId);

    CZarnix4App* m_pApp = nullptr;
    CZarnix4View* m_view = nullptr;
    CIterationBar* m_iterationBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_pointerPane = nullptr;
    QLabel* m_metricsPane = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QMenu* m_examplesMenu = nullptr;
    QStringList m_examplePaths;
    CMouseKeysDlg* m_mouseKeysDlg = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QAction* m_recentSeparator = nullptr;
    QList<QAction*> m_recentActions;
    QHash<uint32_t, QAction*> m_actions;

    bool m_bFullScreen = false;
    uint32_t m_nPendingPrompt = 0;
    uint32_t m_nLastMessage = 0;
    // The idle text while the picture is incomplete (empty: "Ready"), and whether the message
    // pane shows the idle text now, so that a new picture's outcome can replace it.
    QString m_drawStopText;
    bool m_bIdleShown = false;
};
