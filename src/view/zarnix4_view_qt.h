// The view: the widget that shows the picture. It is the renderer (canvas, generator,
// pointer editor with the view transform) put on the screen: a paint copies the canvas,
// and regenerates it first only when the redraw flag is set.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "document/edit_history_qt.h"
#include "interaction/edit_gestures.h"
#include "interaction/grid_lattice.h"
#include "interaction/pattern_editor.h"
#include "render/render_style.h"
#include "render/smooth_renderer.h"
#include "view/fractal_renderer.h"
#include "view/handles_overlay_qt.h"
#include "view/picture_worker_qt.h"

class CEditorContextMenu;
class CSetCoordinateDlg;
class CZarnix4Doc;

// Command ids that reach the view.
constexpr uint32_t ID_VIEW_SHOW_PATTERN = 32778;
constexpr uint32_t ID_VIEW_SHOW_FRACTAL = 32779;
constexpr uint32_t ID_VIEW_FILL_MODE = 32780;
constexpr uint32_t ID_FILE_EXPORT = 32789;
constexpr uint32_t ID_VIEW_FIT_FRACTAL = 32850;
constexpr uint32_t ID_VIEW_ZOOM_IN = 32851;
constexpr uint32_t ID_VIEW_ZOOM_OUT = 32852;

// What the view needs of the frame around it: the Iteration Bar's controls and the check
// state of a command in the menu and on the toolbar. The main frame implements it.
class IViewFrame {
public:
    virtual ~IViewFrame() = default;
    // Writes a number into one of the bar's fields (1004, 1005, 1007).
    virtual void SetFieldValue(int fieldId, int32_t value) = 0;
    // Moves the slider without raising its change notification.
    virtual void SetSliderPosition(int32_t position) = 0;
    // Checks or unchecks a command in the menu and presses or releases its toolbar button.
    virtual void SetCommandChecked(uint32_t commandId, bool checked) = 0;
    // The text of the status bar's second pane (the pointer position).
    virtual void SetPointerPaneText(const QString& text) = 0;
    // The text of the status bar's message pane (the outcome of an export).
    virtual void SetMessageText(const QString& text) { Q_UNUSED(text); }
    // How the last picture ended: empty when it is complete, else the text that says where it
    // stopped ("Drawing stopped at the Draw Limit after 1,234 lines"), shown in place of the
    // idle text until a complete picture follows.
    virtual void SetDrawOutcomeText(const QString& text) { Q_UNUSED(text); }
    // The text of the status bar's metrics pane (segments, lines, dimension).
    virtual void SetMetricsText(const QString& text) { Q_UNUSED(text); }
    // What the gestures do under the pointer, in the message pane; empty when the pointer
    // has left the picture (the idle text comes back).
    virtual void SetHintText(const QString& text) { Q_UNUSED(text); }
};

// The gestures' host interface (with the editor's) comes before the renderer, so every
// polymorphic base sits near the start of the object (the undefined-behaviour sanitizer
// cannot follow a base class that lies more than 1 MB into an object).
class CZarnix4View : public QWidget, public IGestureHost, public CFractalRenderer {
    Q_OBJECT
public:
    // The view is large: always create it with new.
    explicit CZarnix4View(QWidget* parent = nullptr);
    ~CZarnix4View() override;

    void SetDocument(CZarnix4Doc* doc);
    CZarnix4Doc* GetDocument() const { return m_pDocument; }
    void SetFrame(IViewFrame* frame) { m_pFrame = frame; }

    // After a new document was made or a document was opened: brings the bar, the check
    // marks and the buttons in line with the settings, resets the view transform unless the
    // file brought one, and redraws.
    virtual void OnInitialUpdate();

    // A command offered by the frame before its own handling; true when the view handled it.
    virtual bool OnCommand(uint32_t commandId);

    // The display switches (commands 32778 to 32780).
    void OnToggleDisplay(uint32_t commandId);
    // The Export command; the export itself is added by the export dialog.
    virtual void OnFileExport();

    // A message for the view's own window procedure, decoded into the editing gestures
    // (CEditGestures): the cursor request, the Ctrl key, the mouse messages with their packed
    // positions and key states, and the commands of the context menus and 32784 and 32785
    // (Set as Default View, Restore Default View). Answers 0 when the message was not handled.
    virtual int64_t WindowProc(uint32_t message, uint64_t wParam, int64_t lParam);

    // The Iteration Bar's notifications: a field's text changed, a field lost the focus, the
    // slider moved (by the user).
    bool OnFieldChanged(int fieldId, const QString& text);
    bool OnFieldLeft(int fieldId);
    void OnHScroll(int position);

    // Sets the redraw flag and schedules a paint (nothing is erased first).
    void Redraw() override;

    // View > Fit Fractal: the whole fractal at the current iterations and the pattern fill
    // the view with a small margin. False when there is nothing that can be framed.
    bool FitFractal();
    // View > Handles: points, knees and flag badges drawn over the picture in the window.
    void SetShowHandles(bool on);
    bool ShowHandles() const { return m_bShowHandles; }
    // View > Grid, Grid Settings and Snap to Grid. Dragged and added points land on the
    // nearest lattice point while snapping is on, unless Alt is held.
    void SetGrid(const GridSettings& grid);
    const GridSettings& Grid() const { return m_gestures.Grid(); }
    void SetShowGrid(bool on);
    bool ShowGrid() const { return m_bShowGrid; }
    void SetSnapToGrid(bool on) { m_gestures.SetSnap(on); }
    bool SnapToGrid() const { return m_gestures.Snap(); }

    // The status hint for the current hit state (see EditorHintText).
    QString HintText() const;

    // View > Zoom In and Zoom Out: one wheel notch (`notches` = 1 or -1) about the view's centre.
    void ZoomAboutCentre(float notches);
    // True from the Export command's dialog until its file is written or the export cancelled.
    bool IsExporting() const { return m_bExporting; }

    // The edit history of the document's pattern (Edit > Undo and Redo, the modified state).
    CEditHistory& History() { return m_history; }
    // The one way to record a change of the document's pattern as an undoable step. Make
    // the change first, then call this with the step's name as the Edit menu shows it after
    // "Undo" ("Move Point", "Hide Knee", ...) and a copy of the pattern from before the
    // change; the pattern as it is now is the state after. Nothing is recorded when the
    // pattern did not change. Changes that carry the same nonzero `mergeKey` one after the
    // other make one step (a drag; get a key from History().NewMergeKey()). Redraws the
    // picture when a step was recorded. The pointer editor's events and commands that reach
    // WindowProc are recorded this way already.
    void RecordStep(const QString& name, const CPattern& before, int mergeKey = 0);

    // The size of the widget in device pixels, which is the canvas size.
    QSize DeviceSize() const;
    // The widget pixel (logical coordinates) of a device pixel, and back.
    POINT ClientToDevice(QPointF logical) const;

    // The largest screen's size in device pixels; the canvas bitmap is made at least this big.
    void UpdateScreenSize();

    // The status pane text of the pointer position: "%.3f  %.3f".
    void ShowPointerPosition() override;
    // The metrics pane's text for the document's pattern at the current iterations:
    // "4 segments · 4096 lines · D 1.2619" (the lines as the export dialog counts them).
    QString MetricsText() const;
    // The context menu of the pointer editor; its chosen command comes back as a command.
    CEditorContextMenu& ContextMenu() const { return *m_contextMenu; }
    // The cursor the view shows for an editor cursor index.
    const QCursor& EditorCursor(uint8_t index) const { return m_cursors[index < 5 ? index : 0]; }

    // IEditorHost.
    void ShowCursor(uint8_t index) override;
    void TrackContextMenu(uint8_t subMenu, uint8_t kneeFlags, POINT client) override;
    bool RunSetCoordinateDialog(CPattern& pattern, int index) override;
    // IGestureHost.
    void RepaintHandles() override;
    void ShowHint(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    int NewMergeKey() override { return m_history.NewMergeKey(); }
    void RecordEditStep(const std::string& name, const CPattern& before, int mergeKey) override;
    POINT PointerPosition() const override;
    bool IsInView(POINT client) const override;

    // How many times a paint regenerated the picture (or, drawing in the background, how many
    // finished pictures were put on the canvas); for checks of the redraw protocol.
    int SceneCount() const { return m_nSceneCount; }

    // Drawing in the background: a paint that needs a new picture hands copies of the pattern
    // and the drawing settings to a worker thread and shows the canvas as it is; the finished
    // picture replaces the canvas whole. While the pointer drags a point or pans, frames are
    // drawn with a frame budget, and the full picture once the pointer rests. Off, a paint
    // draws the picture itself (the tests' default, set before views are made).
    static void SetBackgroundDrawingDefault(bool on) { s_bBackgroundDefault = on; }
    void SetBackgroundDrawing(bool on);
    bool BackgroundDrawing() const { return m_bBackground; }
    // A picture is wanted or being drawn that has not been shown yet.
    bool PicturePending() const { return m_bRedraw != 0 || m_bAwaiting; }
    // The picture on the canvas is a moving frame (drawn with the frame budget).
    bool ShowsMovingFrame() const { return m_bShownMoving; }
    // The time a pointer must rest before the full picture follows moving frames.
    static constexpr int kRestMs = 120;

    // Smooth Drawing: the picture drawn antialiased (with the construction lines when Show
    // Pattern is on) instead of on the canvas. Off until switched on.
    void SetSmoothDrawing(bool on);
    bool SmoothDrawing() const { return m_bSmoothDrawing; }
    // The style of the window's antialiased picture.
    CRenderStyle ScreenStyle() const;

    // Copy Picture: the view as it is now (size, framing, iterations, switches), without the
    // construction lines, put on the clipboard as PNG (antialiased) and as SVG. False, with
    // `error` saying why, when the picture could not be made; the clipboard is then left as it
    // was. A fractal of more than kMaxClipboardSvgLines lines goes as PNG only; the answer is
    // then true and `error` says so.
    static constexpr uint64_t kMaxClipboardSvgLines = 1000000;
    bool CopyPicture(QString* error = nullptr);

    // The picture as shown (the visible part of the canvas, or the antialiased picture with
    // Smooth Drawing), wrapping its pixels.
    QImage CanvasImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Pointer and keyboard input, turned into the editor's messages and codes.
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    IViewFrame* Frame() const { return m_pFrame; }

private:
    int32_t* FieldValue(int fieldId);
    void UpdateCanvasSize();
    void DrawSmoothPicture();
    void ShowSwitches();

    CZarnix4Doc* m_pDocument = nullptr;
    CEditHistory m_history;
    CEditGestures m_gestures{*this, *this};
    IViewFrame* m_pFrame = nullptr;
    uint8_t m_bFirstUpdate = 1;
    int m_nSceneCount = 0;
    std::array<QCursor, 5> m_cursors;
    std::unique_ptr<CEditorContextMenu> m_contextMenu;
    // Made at first use as a child of the main window, over which it opens; Qt deletes it.
    QPointer<CSetCoordinateDlg> m_setCoordinateDlg;
    // While an export runs the canvas holds the export's picture; paints show this copy of
    // the view's picture instead.
    bool m_bExporting = false;
    bool m_bShowHandles = true;
    bool m_bShowGrid = false;
    QImage m_exportImage;
    // Smooth Drawing's picture, drawn by DrawSmoothPicture when a paint redraws.
    bool m_bSmoothDrawing = false;
    CRgbaImage m_smoothPicture;

    // Background drawing (see SetBackgroundDrawing).
    void RequestPicture();
    void ShowPicture(CPictureResult result);
    void OnPointerRest();
    static inline bool s_bBackgroundDefault = true;
    bool m_bBackground = s_bBackgroundDefault;
    bool m_bAwaiting = false;        // the last request's picture has not arrived
    bool m_bMoving = false;          // the pointer drags or pans: frames get the frame budget
    bool m_bRequestedMoving = false; // the last request was a moving frame
    bool m_bShownMoving = false;     // the canvas shows a moving frame
    uint64_t m_nRequestId = 0;
    uint64_t m_nShownId = 0;
    QTimer m_restTimer;
    // Looks for the worker's finished picture while one is awaited.
    QTimer m_pollTimer;
    void PollPicture();
    // Last: its thread is stopped and joined before anything it delivers to goes away.
    std::unique_ptr<CPictureWorker> m_worker;
};
