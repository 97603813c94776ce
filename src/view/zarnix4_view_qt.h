// The view: the widget that shows the picture. It is the renderer (canvas, generator,
// pointer editor with the view transform) put on the screen: a paint copies the canvas,
// and regenerates it first only when the redraw flag is set.
#pragma once

#include <QWidget>

#include <cstdint>

#include "interaction/pattern_editor.h"
#include "view/fractal_renderer.h"

class CZarnix4Doc;
class QImage;

// Command ids that reach the view.
constexpr uint32_t ID_VIEW_SHOW_PATTERN = 32778;
constexpr uint32_t ID_VIEW_SHOW_FRACTAL = 32779;
constexpr uint32_t ID_VIEW_FILL_MODE = 32780;
constexpr uint32_t ID_FILE_EXPORT = 32789;

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
};

// The editor's host interface comes before the 4 MB renderer, so every polymorphic base
// sits near the start of the object (the undefined-behaviour sanitizer cannot follow a
// base class that lies more than 1 MB into an object).
class CZarnix4View : public QWidget, public IEditorHost, public CFractalRenderer {
    Q_OBJECT
public:
    // The view is about 4 MB: always create it with new.
    explicit CZarnix4View(QWidget* parent = nullptr);
    ~CZarnix4View() override;

    void SetDocument(CZarnix4Doc* doc) { m_pDocument = doc; }
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

    // A message for the view's own window procedure: commands 32784 and 32785 (Set as
    // Default View, Restore Default View) come this way, like the context menu's commands.
    // Answers 0 when the message was not handled.
    virtual int64_t WindowProc(uint32_t message, uint64_t wParam, int64_t lParam);

    // The Iteration Bar's notifications: a field's text changed, a field lost the focus, the
    // slider moved (by the user).
    bool OnFieldChanged(int fieldId, const QString& text);
    bool OnFieldLeft(int fieldId);
    void OnHScroll(int position);

    // Sets the redraw flag and schedules a paint (nothing is erased first).
    void Redraw();

    // The size of the widget in device pixels, which is the canvas size.
    QSize DeviceSize() const;
    // The widget pixel (logical coordinates) of a device pixel, and back.
    POINT ClientToDevice(QPointF logical) const;

    // The largest screen's size in device pixels; the canvas bitmap is made at least this big.
    void UpdateScreenSize();

    // IEditorHost. The pointer editing fills these in; until then they are minimal.
    void ShowCursor(uint8_t index) override;
    void TrackContextMenu(uint8_t subMenu, uint8_t kneeFlags, POINT client) override;
    bool RunSetCoordinateDialog(CPattern& pattern, int index) override;

    // How many times a paint regenerated the picture; for checks of the redraw protocol.
    int SceneCount() const { return m_nSceneCount; }

    // The picture as shown (the visible part of the canvas), wrapping the canvas pixels.
    QImage CanvasImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Pointer and keyboard input. The pointer editor turns these into pattern edits and
    // navigation; here they only reach the base class.
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
    void ShowSwitches();

    CZarnix4Doc* m_pDocument = nullptr;
    IViewFrame* m_pFrame = nullptr;
    uint8_t m_bFirstUpdate = 1;
    int m_nSceneCount = 0;
};
