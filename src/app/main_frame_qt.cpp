#include "app/main_frame_qt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/examples_menu_qt.h"
#include "app/iteration_bar_qt.h"
#include "app/mouse_keys_dlg_qt.h"
#include "interaction/grid_settings_dlg_qt.h"
#include "app/recent_file_list_qt.h"
#include "app/zarnix4_app_qt.h"
#include "interaction/iteration_bar_rules.h"

namespace {

// The command strings: the text before "\n" is the status prompt, the text after it the
// toolbar tooltip. Commands without an entry have an empty prompt and no tooltip.
struct CommandString {
    uint32_t id;
    const char* text;
};

constexpr CommandString kCommandStrings[] = {
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
    {ID_FILE_EXPORT, "Export the active document\nExport"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {ID_EDIT_UNDO, "Undo the last action\nUndo"},
    {ID_EDIT_REDO, "Redo the previously undone action\nRedo"},
    {ID_EDIT_COPY, "Copy the picture to the clipboard\nCopy Picture"},
    {ID_VIEW_SMOOTH_DRAWING, "Draw the picture with smooth, antialiased lines\nSmooth Drawing"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {ID_VIEW_SHOW_PATTERN, "Show or hide the pattern of fractal\nToggle Pattern"},
    {ID_VIEW_SHOW_FRACTAL, "Show or hide the fractal"},
    {ID_VIEW_FILL_MODE, "Toggle Fill mode"},
    {ID_VIEW_SET_DEFAULT, "Set Current View (Position and Scale) as Default"},
    {ID_VIEW_RESTORE_DEFAULT, "Restore Default View"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_VIEW_FIT_FRACTAL, "Show the whole fractal and the pattern\nFit Fractal"},
    {ID_VIEW_ZOOM_IN, "Zoom in about the middle of the view\nZoom In"},
    {ID_VIEW_ZOOM_OUT, "Zoom out about the middle of the view\nZoom Out"},
    {ID_HELP_MOUSE_KEYS, "List the mouse gestures and the keys\nMouse and Keys"},
    {ID_VIEW_HANDLES, "Show or hide the handles of the points and knees\nHandles"},
    {ID_VIEW_GRID, "Show or hide the grid\nGrid"},
    {ID_VIEW_GRID_SETTINGS, "Choose the grid's lattice and spacing\nGrid Settings"},
    {ID_VIEW_SNAP_TO_GRID, "Put dragged and added points on the grid (hold Alt to drag freely)\nSnap to Grid"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {IDS_EXPORTING, "Exporting..."},
};

QString CommandString(uint32_t id)
{
    if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + 16)
        return QStringLiteral("Open this document");
    if (id >= ID_FILE_EXAMPLE_FIRST && id < ID_FILE_EXAMPLE_FIRST + EXAMPLE_COUNT_MAX)
        return QStringLiteral("Open a copy of this example as a new document");
    for (const auto& entry : kCommandStrings) {
        if (entry.id == id)
            return QString::fromLatin1(entry.text);
    }
    return QString();
}

// A path as a menu entry: "&1 /folder/name.zarnix", shortened in the middle when long,
// with ampersands doubled so they are shown and not taken as mnemonics.
QString RecentEntryText(int index, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    constexpr int kMaxLength = 60;
    if (shown.size() > kMaxLength) {
        const QString name = QFileInfo(path).fileName();
        const int keep = std::max(0, kMaxLength - static_cast<int>(name.size()) - 4);
        shown = shown.left(keep) + QStringLiteral("...") + QDir::separator() + name;
    }
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

}  // namespace

QString CMainFrame::PromptText(uint32_t id)
{
    return CommandString(id).section(QLatin1Char('\n'), 0, 0);
}

QString CMainFrame::ToolTipText(uint32_t id)
{
    const QString text = CommandString(id);
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    return newline < 0 ? QString() : text.mid(newline + 1);
}

CMainFrame::CMainFrame(CZarnix4App* app, QWidget* parent) : QMainWindow(parent), m_pApp(app)
{
    InitZarnixResources();
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Zarnix 4"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/zarnix4.png")));
    setAcceptDrops(true);
    // The top bars sit side by side in one row, like bands of one bar.
    setDockOptions(dockOptions() & ~QMainWindow::AllowTabbedDocks);

    m_view = new CZarnix4View(this);
    m_view->setObjectName(QStringLiteral("View"));
    m_view->SetFrame(this);
    setCentralWidget(m_view);

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();

    const QSize available = screen() ? screen()->availableGeometry().size() : QSize(1024, 768);
    resize(std::min(1000, available.width() * 3 / 4), std::min(750, available.height() * 3 / 4));
    RestoreLayout();
    m_view->setFocus();
}

CMainFrame::~CMainFrame()
{
    // The widgets below are destroyed by QWidget's destructor, after this frame's own part
    // is gone; a field losing the focus or a menu closing then must not reach the frame.
    for (QObject* sender : std::initializer_list<QObject*>{m_iterationBar, m_fileMenu, m_editMenu, m_viewMenu, m_helpMenu}) {
        if (sender != nullptr)
            sender->disconnect(this);
    }
    if (m_view != nullptr) {
        m_view->History().disconnect(this);
        m_view->SetFrame(nullptr);
    }
}

QAction* CMainFrame::MakeAction(uint32_t id, const QString& text, const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(PromptText(id));
    const QString tip = ToolTipText(id);
    action->setToolTip(tip);
    action->setProperty("noToolTip", tip.isEmpty());
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, id]() { OnCommand(id); });
    m_actions.insert(id, action);
    addAction(action);
    return action;
}

void CMainFrame::CreateMenus()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->addAction(MakeAction(ID_FILE_NEW, QStringLiteral("&New\tCtrl+N"), QKeySequence(Qt::CTRL | Qt::Key_N)));
    m_fileMenu->addAction(MakeAction(ID_FILE_OPEN, QStringLiteral("&Open...\tCtrl+O"), QKeySequence(Qt::CTRL | Qt::Key_O)));
    CreateExamplesMenu();
    m_fileMenu->addAction(MakeAction(ID_FILE_SAVE, QStringLiteral("&Save\tCtrl+S"), QKeySequence(Qt::CTRL | Qt::Key_S)));
    m_fileMenu->addAction(MakeAction(ID_FILE_SAVE_AS, QStringLiteral("Save &As...")));
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(MakeAction(ID_FILE_EXPORT, QStringLiteral("&Export...\tCtrl+E"), QKeySequence(Qt::CTRL | Qt::Key_E)));
    m_fileMenu->addSeparator();
    m_recentPlaceholder = m_fileMenu->addAction(QStringLiteral("Recent File"));
    m_recentPlaceholder->setData(ID_FILE_MRU_FILE1);
    m_recentPlaceholder->setStatusTip(PromptText(ID_FILE_MRU_FILE1));
    m_recentPlaceholder->setEnabled(false);
    m_recentSeparator = m_fileMenu->addSeparator();
    // Ctrl+Q takes the road of Exit, so it asks to save like any exit.
    m_fileMenu->addAction(MakeAction(ID_APP_EXIT, QStringLiteral("E&xit\tCtrl+Q"), QKeySequence(Qt::CTRL | Qt::Key_Q)));

    m_editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_editMenu->addAction(MakeAction(ID_EDIT_UNDO, QStringLiteral("&Undo\tCtrl+Z"), QKeySequence(Qt::CTRL | Qt::Key_Z)));
    m_editMenu->addAction(MakeAction(ID_EDIT_REDO, QStringLiteral("&Redo\tCtrl+Y"), QKeySequence(Qt::CTRL | Qt::Key_Y)));
    Action(ID_EDIT_REDO)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_editMenu->addSeparator();
    m_editMenu->addAction(MakeAction(ID_EDIT_COPY, QStringLiteral("&Copy Picture\tCtrl+C"), QKeySequence(Qt::CTRL | Qt::Key_C)));
    connect(&m_view->History(), &CEditHistory::stepsChanged, this, &CMainFrame::UpdateUndoRedo);
    UpdateUndoRedo();

    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->addAction(MakeAction(ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar")));
    m_viewMenu->addAction(MakeAction(ID_VIEW_ITERATION_BAR, QStringLiteral("&Iteration Bar")));
    m_viewMenu->addAction(MakeAction(ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar")));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(MakeAction(ID_VIEW_FULL_SCREEN, QStringLiteral("Full Screen\tF11"), QKeySequence(Qt::Key_F11)));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(MakeAction(ID_VIEW_SHOW_PATTERN, QStringLiteral("Show &Pattern\tCtrl+P"), QKeySequence(Qt::CTRL | Qt::Key_P)));
    m_viewMenu->addAction(MakeAction(ID_VIEW_SHOW_FRACTAL, QStringLiteral("Show &Fractal\tCtrl+F"), QKeySequence(Qt::CTRL | Qt::Key_F)));
    m_viewMenu->addAction(MakeAction(ID_VIEW_FILL_MODE, QStringLiteral("Fill &Mode\tCtrl+M"), QKeySequence(Qt::CTRL | Qt::Key_M)));
    m_viewMenu->addAction(MakeAction(ID_VIEW_SMOOTH_DRAWING, QStringLiteral("Smoot&h Drawing")));
    m_viewMenu->addAction(MakeAction(ID_VIEW_HANDLES, QStringLiteral("Handl&es")));
    m_viewMenu->addAction(MakeAction(ID_VIEW_GRID, QStringLiteral("&Grid")));
    m_viewMenu->addAction(MakeAction(ID_VIEW_GRID_SETTINGS, QStringLiteral("Grid Settings...")));
    m_viewMenu->addAction(MakeAction(ID_VIEW_SNAP_TO_GRID, QStringLiteral("S&nap to Grid\tCtrl+G"), QKeySequence(Qt::CTRL | Qt::Key_G)));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(MakeAction(ID_VIEW_FIT_FRACTAL, QStringLiteral("Fit Fr&actal\tCtrl+0"), QKeySequence(Qt::CTRL | Qt::Key_0)));
    m_viewMenu->addAction(MakeAction(ID_VIEW_ZOOM_IN, QStringLiteral("&Zoom In\tCtrl++"), QKeySequence(Qt::CTRL | Qt::Key_Plus)));
    Action(ID_VIEW_ZOOM_IN)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_viewMenu->addAction(MakeAction(ID_VIEW_ZOOM_OUT, QStringLiteral("Zoom &Out\tCtrl+-"), QKeySequence(Qt::CTRL | Qt::Key_Minus)));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(MakeAction(ID_VIEW_SET_DEFAULT, QStringLiteral("Set as &Default View\tCtrl+D"), QKeySequence(Qt::CTRL | Qt::Key_D)));
    m_viewMenu->addAction(MakeAction(ID_VIEW_RESTORE_DEFAULT, QStringLiteral("&Restore Default View\tCtrl+R"), QKeySequence(Qt::CTRL | Qt::Key_R)));

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    m_helpMenu->addAction(MakeAction(ID_HELP_MOUSE_KEYS, QStringLiteral("&Mouse and Keys\tF1"), QKeySequence(Qt::Key_F1)));
    m_helpMenu->addAction(MakeAction(ID_APP_ABOUT, QStringLiteral("&About Zarnix 4")));

    // Check marks: the bars and switches follow their state; the Iteration Bar starts shown.
    for (uint32_t id : {ID_VIEW_TOOLBAR, ID_VIEW_ITERATION_BAR, ID_VIEW_STATUS_BAR, ID_VIEW_FULL_SCREEN,
                        ID_VIEW_SHOW_PATTERN, ID_VIEW_SHOW_FRACTAL, ID_VIEW_FILL_MODE, ID_VIEW_SMOOTH_DRAWING,
                        ID_VIEW_HANDLES, ID_VIEW_GRID, ID_VIEW_SNAP_TO_GRID})
        Action(id)->setCheckable(true);
    // Smooth Drawing is remembered between runs.
    const bool smooth = QSettings(QString::fromLatin1(CRecentFileList::kOrganization),
                                  QString::fromLatin1(CRecentFileList::kApplication))
                            .value(QStringLiteral("View/SmoothDrawing"), false)
                            .toBool();
    Action(ID_VIEW_SMOOTH_DRAWING)->setChecked(smooth);
    // Handles are on unless turned off in an earlier run.
    const bool handles = QSettings(QString::fromLatin1(CRecentFileList::kOrganization),
                                   QString::fromLatin1(CRecentFileList::kApplication))
                             .value(QStringLiteral("View/Handles"), true)
                             .toBool();
    Action(ID_VIEW_HANDLES)->setChecked(handles);
    m_view->SetShowHandles(handles);
    // The grid, its lattice and snapping are remembered too; the default is a hidden square
    // grid of spacing 10 without snapping.
    {
        const QSettings settings(QString::fromLatin1(CRecentFileList::kOrganization),
                                 QString::fromLatin1(CRecentFileList::kApplication));
        GridSettings grid;
        grid.kind = settings.value(QStringLiteral("View/GridKind")).toString() == QStringLiteral("triangular")
                        ? GridKind::Triangular
                        : GridKind::Square;
        bool ok = false;
        const float spacing = settings.value(QStringLiteral("View/GridSpacing"), 10.0).toFloat(&ok);
        if (ok && IsValidGridSpacing(spacing))
            grid.spacing = spacing;
        m_view->SetGrid(grid);
        m_view->SetShowGrid(settings.value(QStringLiteral("View/Grid"), false).toBool());
        m_view->SetSnapToGrid(settings.value(QStringLiteral("View/SnapToGrid"), false).toBool());
        Action(ID_VIEW_GRID)->setChecked(m_view->ShowGrid());
        Action(ID_VIEW_SNAP_TO_GRID)->setChecked(m_view->SnapToGrid());
    }
    m_view->SetSmoothDrawing(smooth);
    Action(ID_VIEW_ITERATION_BAR)->setChecked(true);
    Action(ID_VIEW_SHOW_PATTERN)->setChecked(true);
    Action(ID_VIEW_SHOW_FRACTAL)->setChecked(true);

    for (QMenu* menu : {m_fileMenu, m_editMenu, m_viewMenu, m_helpMenu})
        WatchMenu(menu);
    connect(m_viewMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateBarChecks);
}

void CMainFrame::WatchMenu(QMenu* menu)
{
    // A menu title selected: no prompt. An item highlighted: its prompt. The menu closed
    // with no other menu open: the idle text.
    connect(menu, &QMenu::aboutToShow, this, [this]() { OnMenuSelect(0); });
    connect(menu, &QMenu::hovered, this, [this](QAction* action) {
        OnMenuSelect(action->isSeparator() ? 0 : action->data().toUInt());
    });
    connect(menu, &QMenu::aboutToHide, this, [this]() {
        QTimer::singleShot(0, this, [this]() {
            if (QApplication::activePopupWidget() == nullptr)
                OnSetMessageString(AFX_IDS_IDLEMESSAGE);
        });
    });
}

void CMainFrame::CreateToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setMovable(true);
    m_toolBar->setIconSize(QSize(16, 15));
    struct Button {
        uint32_t id;
        const char* image;
    };
    const Button buttons[] = {
        {ID_FILE_NEW, "new"}, {ID_FILE_OPEN, "open"}, {ID_FILE_SAVE, "save"}, {ID_FILE_EXPORT, "export"},
        {0, nullptr},
        {ID_VIEW_FULL_SCREEN, "full_screen"},
        {0, nullptr},
        {ID_VIEW_SHOW_PATTERN, "show_pattern"}, {ID_VIEW_SHOW_FRACTAL, "show_fractal"}, {ID_VIEW_FILL_MODE, "fill_mode"},
        {0, nullptr},
        {ID_APP_ABOUT, "about"},
    };
    for (const Button& button : buttons) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = Action(button.id);
        action->setIcon(QIcon(QStringLiteral(":/toolbar/%1.png").arg(QLatin1String(button.image))));
        // Buttons whose command string has no tooltip get one naming the command and its key.
        if (action->toolTip().isEmpty() || action->property("noToolTip").toBool()) {
            QString name = action->text().section(QLatin1Char('\t'), 0, 0);
            name.remove(QRegularExpression(QStringLiteral("&(?!&)")));
            const QString key = action->shortcut().toString(QKeySequence::NativeText);
            action->setToolTip(key.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, key));
            action->setProperty("noToolTip", false);
        }
        m_toolBar->addAction(action);
        if (QWidget* widget = m_toolBar->widgetForAction(action))
            widget->installEventFilter(this);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_iterationBar = new CIterationBar(this);
    addToolBar(Qt::TopToolBarArea, m_iterationBar);
    connect(m_iterationBar, &CIterationBar::fieldChanged, this,
            [this](int id, const QString& text) { m_view->OnFieldChanged(id, text); });
    connect(m_iterationBar, &CIterationBar::fieldLeft, this, [this](int id) { m_view->OnFieldLeft(id); });
    connect(m_iterationBar, &CIterationBar::sliderMoved, this, [this](int position) { m_view->OnHScroll(position); });
}

void CMainFrame::CreateStatusBar()
{
    m_messagePane = new QLabel(this);
    m_messagePane->setObjectName(QStringLiteral("MessagePane"));
    m_messagePane->setMinimumWidth(1);
    m_messagePane->setTextFormat(Qt::PlainText);
    m_pointerPane = new QLabel(this);
    m_pointerPane->setObjectName(QStringLiteral("PointerPane"));
    m_pointerPane->setTextFormat(Qt::PlainText);
    m_pointerPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The second pane is a quarter of the screen wide, the first takes the rest.
    const int screenWidth = screen() ? screen()->geometry().width() : 1024;
    m_pointerPane->setFixedWidth(screenWidth / 4);
    // Between them, as wide as its text: the figures of the fractal on show.
    m_metricsPane = new QLabel(this);
    m_metricsPane->setObjectName(QStringLiteral("MetricsPane"));
    m_metricsPane->setTextFormat(Qt::PlainText);
    m_metricsPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_metricsPane->setToolTip(QStringLiteral("Segments of the pattern, lines of the fractal at the current "
                                             "iterations, and its similarity dimension D"));
    statusBar()->addPermanentWidget(m_messagePane, 1);
    statusBar()->addPermanentWidget(m_metricsPane, 0);
    statusBar()->addPermanentWidget(m_pointerPane, 0);
    statusBar()->installEventFilter(this);
    OnSetMessageString(AFX_IDS_IDLEMESSAGE);
}

void CMainFrame::CreateAccelerators()
{
    // Keys that are taken by the window but have no command behind them.
    for (auto [id, key] : {std::pair{ID_NEXT_PANE, QKeySequence(Qt::Key_F6)},
                           std::pair{ID_PREV_PANE, QKeySequence(Qt::SHIFT | Qt::Key_F6)}}) {
        QAction* action = MakeAction(id, QString(), key);
        action->setObjectName(QStringLiteral("Accelerator%1").arg(id));
    }
    // Escape leaves full screen; outside full screen the key is left to whoever has the focus.
    QAction* leave = MakeAction(ID_VIEW_LEAVE_FULL_SCREEN, QString(), QKeySequence(Qt::Key_Escape));
    leave->setObjectName(QStringLiteral("LeaveFullScreen"));
    leave->setEnabled(false);
}

void CMainFrame::CreateExamplesMenu()
{
    m_examplePaths = ExampleFiles(ExamplesDirectory()).mid(0, EXAMPLE_COUNT_MAX);
    m_examplesMenu = m_fileMenu->addMenu(QStringLiteral("Examp&les"));
    m_examplesMenu->setObjectName(QStringLiteral("ExamplesMenu"));
    for (int i = 0; i < m_examplePaths.size(); ++i) {
        const uint32_t id = ID_FILE_EXAMPLE_FIRST + static_cast<uint32_t>(i);
        QAction* action = MakeAction(id, ExampleTitle(m_examplePaths[i]));
        action->setToolTip(m_examplePaths[i]);
        m_examplesMenu->addAction(action);
    }
    m_examplesMenu->menuAction()->setEnabled(!m_examplePaths.isEmpty());
}

QList<QPair<QString, QString>> CMainFrame::ShortcutList() const
{
    QList<QPair<QString, QString>> list;
    for (QMenu* menu : {m_fileMenu, m_editMenu, m_viewMenu, m_helpMenu}) {
        for (const QAction* action : menu->actions()) {
            if (action->shortcuts().isEmpty())
                continue;
            QStringList keys;
            for (const QKeySequence& key : action->shortcuts())
                keys << key.toString(QKeySequence::NativeText);
            QString what = action->text().section(QLatin1Char('\t'), 0, 0);
            what.remove(QRegularExpression(QStringLiteral("&(?!&)")));
            list.append({keys.join(QStringLiteral(" or ")), what});
        }
    }
    list.append({QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText), QStringLiteral("Leave full screen")});
    list.append({QKeySequence(Qt::Key_F6).toString(QKeySequence::NativeText) + QStringLiteral(" / ") +
                     QKeySequence(Qt::SHIFT | Qt::Key_F6).toString(QKeySequence::NativeText),
                 QStringLiteral("Next / previous pane")});
    return list;
}

void CMainFrame::OnMouseKeys()
{
    // Made at first use, with the shortcuts as they are then; it stays beside the picture.
    if (m_mouseKeysDlg == nullptr)
        m_mouseKeysDlg = new CMouseKeysDlg(ShortcutList(), this);
    m_mouseKeysDlg->show();
    m_mouseKeysDlg->raise();
    m_mouseKeysDlg->activateWindow();
}

void CMainFrame::RestoreLayout()
{
    const QSettings settings(QString::fromLatin1(CRecentFileList::kOrganization),
                             QString::fromLatin1(CRecentFileList::kApplication));
    const QByteArray geometry = settings.value(QStringLiteral("MainFrame/Geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray state = settings.value(QStringLiteral("MainFrame/State")).toByteArray();
    if (!state.isEmpty())
        restoreState(state);
    statusBar()->setHidden(!settings.value(QStringLiteral("MainFrame/StatusBar"), true).toBool());
    Action(ID_VIEW_ITERATION_BAR)->setChecked(!m_iterationBar->isHidden());
    UpdateBarChecks();
}

void CMainFrame::SaveLayout()
{
    QSettings settings(QString::fromLatin1(CRecentFileList::kOrganization),
                       QString::fromLatin1(CRecentFileList::kApplication));
    // The size and place of the window as it is outside full screen.
    if (!m_bFullScreen)
        settings.setValue(QStringLiteral("MainFrame/Geometry"), saveGeometry());
    settings.setValue(QStringLiteral("MainFrame/State"), saveState());
    settings.setValue(QStringLiteral("MainFrame/StatusBar"), !statusBar()->isHidden());
}

QMenu* CMainFrame::createPopupMenu()
{
    // The bars are shown and hidden through the View menu only, which keeps its check marks.
    return nullptr;
}

void CMainFrame::OnCommand(uint32_t commandId)
{
    if (m_view != nullptr && m_view->OnCommand(commandId))
        return;
    if (OnFrameCommand(commandId))
        return;
    if (m_pApp != nullptr)
        m_pApp->OnCommand(commandId);
}

bool CMainFrame::OnFrameCommand(uint32_t commandId)
{
    if (commandId >= ID_FILE_EXAMPLE_FIRST && commandId < ID_FILE_EXAMPLE_FIRST + EXAMPLE_COUNT_MAX) {
        const int index = static_cast<int>(commandId - ID_FILE_EXAMPLE_FIRST);
        if (index < m_examplePaths.size() && m_pApp != nullptr)
            m_pApp->OpenExample(m_examplePaths[index]);
        return true;
    }
    switch (commandId) {
    case ID_VIEW_TOOLBAR: OnToggleToolBar(); return true;
    case ID_VIEW_STATUS_BAR: OnToggleStatusBar(); return true;
    case ID_VIEW_ITERATION_BAR: OnToggleIterationBar(); return true;
    case ID_VIEW_FULL_SCREEN: OnFullScreen(); return true;
    case ID_VIEW_LEAVE_FULL_SCREEN:
        if (m_bFullScreen)
            OnFullScreen();
        return true;
    case ID_HELP_MOUSE_KEYS: OnMouseKeys(); return true;
    case ID_VIEW_HANDLES: OnToggleHandles(); return true;
    case ID_VIEW_GRID: OnToggleGrid(); return true;
    case ID_VIEW_GRID_SETTINGS: OnGridSettings(); return true;
    case ID_VIEW_SNAP_TO_GRID: OnToggleSnapToGrid(); return true;
    case ID_EDIT_UNDO: m_view->History().Undo(); return true;
    case ID_EDIT_REDO: m_view->History().Redo(); return true;
    case ID_EDIT_COPY: OnCopyPicture(); return true;
    case ID_VIEW_SMOOTH_DRAWING: OnToggleSmoothDrawing(); return true;
    default: return false;
    }
}

void CMainFrame::OnCopyPicture()
{
    QString error;
    m_view->CopyPicture(&error);
    if (!error.isEmpty())
        SetMessageText(QStringLiteral("Copy Picture: ") + error);
}

void CMainFrame::OnToggleSmoothDrawing()
{
    const bool on = !m_view->SmoothDrawing();
    m_view->SetSmoothDrawing(on);
    Action(ID_VIEW_SMOOTH_DRAWING)->setChecked(on);
    QSettings(QString::fromLatin1(CRecentFileList::kOrganization), QString::fromLatin1(CRecentFileList::kApplication))
        .setValue(QStringLiteral("View/SmoothDrawing"), on);
}

void CMainFrame::OnToggleHandles()
{
    const bool on = !m_view->ShowHandles();
    m_view->SetShowHandles(on);
    Action(ID_VIEW_HANDLES)->setChecked(on);
    QSettings(QString::fromLatin1(CRecentFileList::kOrganization), QString::fromLatin1(CRecentFileList::kApplication))
        .setValue(QStringLiteral("View/Handles"), on);
}

void CMainFrame::OnToggleGrid()
{
    const bool on = !m_view->ShowGrid();
    m_view->SetShowGrid(on);
    Action(ID_VIEW_GRID)->setChecked(on);
    QSettings(QString::fromLatin1(CRecentFileList::kOrganization), QString::fromLatin1(CRecentFileList::kApplication))
        .setValue(QStringLiteral("View/Grid"), on);
}

void CMainFrame::OnToggleSnapToGrid()
{
    const bool on = !m_view->SnapToGrid();
    m_view->SetSnapToGrid(on);
    Action(ID_VIEW_SNAP_TO_GRID)->setChecked(on);
    QSettings(QString::fromLatin1(CRecentFileList::kOrganization), QString::fromLatin1(CRecentFileList::kApplication))
        .setValue(QStringLiteral("View/SnapToGrid"), on);
}

void CMainFrame::OnGridSettings()
{
    CGridSettingsDlg dialog(m_view->Grid(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const GridSettings grid = dialog.Settings();
    m_view->SetGrid(grid);
    QSettings settings(QString::fromLatin1(CRecentFileList::kOrganization),
                       QString::fromLatin1(CRecentFileList::kApplication));
    settings.setValue(QStringLiteral("View/GridKind"),
                      grid.kind == GridKind::Triangular ? QStringLiteral("triangular") : QStringLiteral("square"));
    settings.setValue(QStringLiteral("View/GridSpacing"), static_cast<double>(grid.spacing));
    if (!m_view->ShowGrid())
        OnToggleGrid();
}

void CMainFrame::UpdateBarChecks()
{
    Action(ID_VIEW_TOOLBAR)->setChecked(!m_toolBar->isHidden());
    Action(ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
}

void CMainFrame::OnToggleToolBar()
{
    m_toolBar->setHidden(!m_toolBar->isHidden());
    UpdateBarChecks();
}

void CMainFrame::OnToggleStatusBar()
{
    statusBar()->setHidden(!statusBar()->isHidden());
    UpdateBarChecks();
}

void CMainFrame::OnToggleIterationBar()
{
    if (m_iterationBar == nullptr)
        return;
    m_iterationBar->setHidden(!m_iterationBar->isHidden());
    Action(ID_VIEW_ITERATION_BAR)->setChecked(!m_iterationBar->isHidden());
}

void CMainFrame::OnFullScreen()
{
    m_bFullScreen = !m_bFullScreen;
    // The menu bar and all bars stay in full screen; leaving returns to a restored window,
    // also when the window was maximised before.
    if (m_bFullScreen)
        showFullScreen();
    else
        showNormal();
    Action(ID_VIEW_FULL_SCREEN)->setChecked(m_bFullScreen);
    Action(ID_VIEW_LEAVE_FULL_SCREEN)->setEnabled(m_bFullScreen);
}

void CMainFrame::UpdateUndoRedo()
{
    const CEditHistory& history = m_view->History();
    QAction* undo = Action(ID_EDIT_UNDO);
    QAction* redo = Action(ID_EDIT_REDO);
    // Step names hold no ampersands; they would be taken as mnemonics.
    undo->setText(history.CanUndo() ? QStringLiteral("&Undo %1\tCtrl+Z").arg(history.UndoText())
                                    : QStringLiteral("&Undo\tCtrl+Z"));
    redo->setText(history.CanRedo() ? QStringLiteral("&Redo %1\tCtrl+Y").arg(history.RedoText())
                                    : QStringLiteral("&Redo\tCtrl+Y"));
    undo->setEnabled(history.CanUndo());
    redo->setEnabled(history.CanRedo());
}

void CMainFrame::OnMenuSelect(uint32_t commandId)
{
    SetMessageText(PromptText(commandId));
    m_nLastMessage = commandId;
    m_nPendingPrompt = commandId == ID_FILE_EXPORT ? IDS_EXPORTING : 0;
}

uint32_t CMainFrame::OnSetMessageString(uint32_t stringId)
{
    const uint32_t last = m_nLastMessage;
    // While an export runs (from its dialog on), the text it started with stays: "Exporting..."
    // after the menu, until the export's outcome replaces it.
    if (stringId == AFX_IDS_IDLEMESSAGE && m_nPendingPrompt == 0 && last == IDS_EXPORTING && m_view != nullptr &&
        m_view->IsExporting())
        return last;
    uint32_t shown = stringId;
    if (stringId == AFX_IDS_IDLEMESSAGE && m_nPendingPrompt != 0) {
        shown = m_nPendingPrompt;
        m_nPendingPrompt = 0;
    }
    SetMessageText(shown == AFX_IDS_IDLEMESSAGE ? IdleText() : PromptText(shown));
    m_bIdleShown = shown == AFX_IDS_IDLEMESSAGE;
    m_nLastMessage = shown;
    return last;
}

void CMainFrame::SetMessageText(const QString& text)
{
    m_bIdleShown = false;
    if (m_messagePane != nullptr)
        m_messagePane->setText(text);
}

QString CMainFrame::IdleText() const
{
    return m_drawStopText.isEmpty() ? PromptText(AFX_IDS_IDLEMESSAGE) : m_drawStopText;
}

void CMainFrame::SetDrawOutcomeText(const QString& text)
{
    m_drawStopText = text;
    // A menu prompt or an export's outcome stays; the idle text follows the picture.
    if (m_bIdleShown && m_messagePane != nullptr)
        m_messagePane->setText(IdleText());
}

void CMainFrame::SetRecentFiles(const QStringList& paths)
{
    for (QAction* action : m_recentActions) {
        m_fileMenu->removeAction(action);
        m_actions.remove(action->data().toUInt());
        delete action;
    }
    m_recentActions.clear();
    // The greyed "Recent File" item stands in while the list is empty.
    m_recentPlaceholder->setVisible(paths.isEmpty());
    for (int i = 0; i < paths.size() && i < RECENT_FILE_COUNT; ++i) {
        const uint32_t id = ID_FILE_MRU_FILE1 + static_cast<uint32_t>(i);
        auto* action = new QAction(RecentEntryText(i, paths[i]), this);
        action->setData(id);
        action->setStatusTip(PromptText(id));
        action->setToolTip(paths[i]);
        connect(action, &QAction::triggered, this, [this, id]() { OnCommand(id); });
        m_fileMenu->insertAction(m_recentSeparator, action);
        m_recentActions.append(action);
        m_actions.insert(id, action);
    }
}

void CMainFrame::SetFieldValue(int fieldId, int32_t value)
{
    m_iterationBar->SetFieldValue(fieldId, value);
}

void CMainFrame::SetSliderPosition(int32_t position)
{
    m_iterationBar->SetSliderPosition(position);
}

void CMainFrame::SetCommandChecked(uint32_t commandId, bool checked)
{
    if (QAction* action = Action(commandId))
        action->setChecked(checked);
}

void CMainFrame::SetPointerPaneText(const QString& text)
{
    m_pointerPane->setText(text);
}

void CMainFrame::SetMetricsText(const QString& text)
{
    m_metricsPane->setText(text);
    FitMetricsPane();
}

void CMainFrame::FitMetricsPane()
{
    // In a narrow window the metrics give way: the message pane, which says what a click does,
    // keeps at least the room the metrics pane would take. (The pointer pane is a quarter of
    // the screen wide, so on a large screen a small window has little room left for the rest.)
    const int metrics = m_metricsPane->sizeHint().width();
    const int room = statusBar()->width() - m_pointerPane->width() - metrics - kStatusBarSpacing;
    m_metricsPane->setVisible(room >= metrics);
}

void CMainFrame::SetHintText(const QString& text)
{
    // A menu's prompt has the pane while the menu is open.
    if (QApplication::activePopupWidget() != nullptr)
        return;
    if (text.isEmpty())
        OnSetMessageString(AFX_IDS_IDLEMESSAGE);
    else
        SetMessageText(text);
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        // Menus report their prompts through OnMenuSelect; here come the toolbar's fly-by
        // prompts, and the empty tip when the pointer leaves a button means idle.
        if (qobject_cast<QMenu*>(QApplication::activePopupWidget()) == nullptr) {
            const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
            if (tip.isEmpty())
                OnSetMessageString(AFX_IDS_IDLEMESSAGE);
            else
                SetMessageText(tip);
        }
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_pApp != nullptr && !m_pApp->SaveModified()) {
        event->ignore();
        return;
    }
    SaveLayout();
    QMainWindow::closeEvent(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == statusBar() && event->type() == QEvent::Resize)
        FitMetricsPane();
    // Buttons whose command has no tooltip text show none.
    if (event->type() == QEvent::ToolTip) {
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            if (button->defaultAction() != nullptr && button->defaultAction()->property("noToolTip").toBool())
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    // Only the first file is opened: the editor holds one document.
    const QString path = urls.first().toLocalFile();
    activateWindow();
    if (m_pApp != nullptr) {
        // Opened after the drop has finished, so that an error box does not run inside the
        // drag and drop machinery.
        QTimer::singleShot(0, m_pApp, [app = m_pApp, path]() { app->OpenDocumentFile(path); });
    }
}
