#include "view/zarnix4_view_qt.h"

#include <QClipboard>
#include <QCursor>
#include <QMimeData>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "document/zarnix4_doc.h"
#include "export/file_export_dlg_qt.h"
#include "interaction/editor_resources_qt.h"
#include "interaction/iteration_bar_rules.h"
#include "platform/text_format.h"
#include "export/export_settings.h"
#include "export/svg_writer.h"
#include "render/smooth_renderer.h"
#include "interaction/editor_hints.h"
#include "view/fractal_bounds.h"
#include "view/handles_overlay_qt.h"
#include "view/similarity_dimension.h"

CZarnix4View::CZarnix4View(QWidget* parent) : QWidget(parent)
{
    // The picture covers every pixel of the widget, so Qt need not erase before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(1, 1);
    m_pOwner = this;
    m_cursors = MakeEditorCursors();
    m_contextMenu = std::make_unique<CEditorContextMenu>();
    for (uint8_t k = 0; k < 3; ++k) {
        QMenu* menu = m_contextMenu->SubMenu(k);
        connect(menu, &QMenu::triggered, this, [this](QAction* action) {
            m_gestures.Command(action->data().toUInt());
        });
        // The first cursor request after the menu closes runs the hit test anew.
        connect(menu, &QMenu::aboutToHide, this, [this]() {
            QTimer::singleShot(0, this, [this]() {
                if (underMouse())
                    m_gestures.CursorRequest(true);
            });
        });
    }
    connect(&m_history, &CEditHistory::patternRestored, this, [this]() { m_gestures.PatternRestored(); });
    m_restTimer.setSingleShot(true);
    m_restTimer.setInterval(kRestMs);
    connect(&m_restTimer, &QTimer::timeout, this, &CZarnix4View::OnPointerRest);
    m_pollTimer.setInterval(4);
    connect(&m_pollTimer, &QTimer::timeout, this, &CZarnix4View::PollPicture);
    UpdateScreenSize();
    // A screen plugged in later may be larger; the next recreated bitmap takes its size.
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this]() { UpdateScreenSize(); });
}

CZarnix4View::~CZarnix4View() = default;  // the context menu and dialog go with the view

void CZarnix4View::SetDocument(CZarnix4Doc* doc)
{
    m_pDocument = doc;
    m_history.SetPattern(doc != nullptr ? &doc->m_pattern : nullptr);
    m_gestures.SetPattern(doc != nullptr ? &doc->m_pattern : nullptr);
    m_history.Clear();
}

void CZarnix4View::UpdateScreenSize()
{
    int32_t width = 0;
    int32_t height = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const qreal ratio = screen->devicePixelRatio();
        const QSize size = screen->geometry().size();
        width = std::max(width, static_cast<int32_t>(std::lround(size.width() * ratio)));
        height = std::max(height, static_cast<int32_t>(std::lround(size.height() * ratio)));
    }
    SetScreenSize(width, height);
}

QSize CZarnix4View::DeviceSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
}

POINT CZarnix4View::ClientToDevice(QPointF logical) const
{
    const qreal ratio = devicePixelRatioF();
    return POINT{static_cast<int32_t>(std::floor(logical.x() * ratio)),
                 static_cast<int32_t>(std::floor(logical.y() * ratio))};
}

void CZarnix4View::UpdateCanvasSize()
{
    // While an export runs the canvas is the export's: a resize is applied when it is over.
    if (m_bExporting)
        return;
    // A minimised window keeps its widget size in Qt, so there is nothing to skip here; a
    // size of nothing keeps the last canvas, as minimising does.
    const QSize size = DeviceSize();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    SetCanvasSize(size.width(), size.height());
}

void CZarnix4View::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateCanvasSize();
}

QImage CZarnix4View::CanvasImage() const
{
    if (m_bSmoothDrawing) {
        if (m_smoothPicture.width <= 0 || m_smoothPicture.height <= 0)
            return QImage();
        QImage image(m_smoothPicture.pixels.data(), m_smoothPicture.width, m_smoothPicture.height,
                     static_cast<qsizetype>(m_smoothPicture.width) * 4, QImage::Format_RGBA8888);
        image.setDevicePixelRatio(devicePixelRatioF());
        return image;
    }
    if (m_bitmap.IsEmpty())
        return QImage();
    const int w = std::min(m_nWidth, m_bitmap.Width());
    const int h = std::min(m_nHeight, m_bitmap.Height());
    if (w <= 0 || h <= 0)
        return QImage();
    // The canvas pixels are 0x00RRGGBB words, rows top first: exactly Format_RGB32.
    QImage image(reinterpret_cast<const uchar*>(m_bitmap.Bits()), w, h,
                 static_cast<qsizetype>(m_bitmap.Width()) * 4, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatioF());
    return image;
}

void CZarnix4View::paintEvent(QPaintEvent* event)
{
    if (m_bExporting) {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(QPointF(0, 0), m_exportImage);
        return;
    }
    // A move to a screen of another pixel ratio changes the device size without a resize.
    UpdateCanvasSize();
    if (m_bBackground && m_bRedraw && m_pDocument != nullptr)
        RequestPicture();  // the canvas keeps the last whole picture until the new one is done
    BeginDraw();
    if (m_bRedraw && m_pDocument != nullptr) {
        m_drawOutcome = DrawOutcome::Complete;  // a picture without the fractal is whole
        if (m_bSmoothDrawing)
            DrawSmoothPicture();
        else
            DrawScene(m_pDocument->m_pattern);
        ++m_nSceneCount;
        // Whatever changed the picture may have changed the pattern or the iterations.
        if (m_pFrame != nullptr) {
            m_pFrame->SetDrawOutcomeText(QString::fromStdString(DrawOutcomeText()));
            m_pFrame->SetMetricsText(MetricsText());
        }
    }
    EndDraw();

    QPainter painter(this);
    const QImage image = CanvasImage();
    if (!image.isNull())
        painter.drawImage(QPointF(0, 0), image);
    // Whatever the canvas does not cover (no bitmap, or no document yet) is white, never
    // left over from an earlier paint.
    const qreal ratio = devicePixelRatioF();
    const QRectF shown(0, 0, image.isNull() ? 0.0 : image.width() / ratio, image.isNull() ? 0.0 : image.height() / ratio);
    const QRectF all(rect());
    if (shown.width() < all.width())
        painter.fillRect(QRectF(shown.width(), 0, all.width() - shown.width(), all.height()), Qt::white);
    if (shown.height() < all.height())
        painter.fillRect(QRectF(0, shown.height(), shown.width(), all.height() - shown.height()), Qt::white);
    // The grid and the handles go over the copied picture, in the window only.
    if (m_bShowGrid)
        PaintGrid(painter, Grid(), m_transform, ratio, QSize(m_nWidth, m_nHeight));
    if (m_bShowHandles && m_pDocument != nullptr) {
        const HandlesState state = m_gestures.ShownHandles();
        PaintHandles(painter, m_pDocument->m_pattern, m_transform, ratio, state);
        m_gestures.HandlesPainted(state);
    }
    Q_UNUSED(event);
}

void CZarnix4View::SetBackgroundDrawing(bool on)
{
    if (on == m_bBackground)
        return;
    m_bBackground = on;
    if (!on && m_worker) {
        m_worker.reset();  // stops and joins the thread; its undelivered pictures are dropped
        m_pollTimer.stop();
        m_bAwaiting = false;
        m_bMoving = false;
        m_restTimer.stop();
    }
    Redraw();
}

void CZarnix4View::RequestPicture()
{
    m_bRedraw = 0;
    CPictureRequest request;
    request.id = ++m_nRequestId;
    request.pattern = m_pDocument->m_pattern;
    request.settings = DrawSettings();
    request.settings.smooth = m_bSmoothDrawing;
    request.style = ScreenStyle();
    request.moving = m_bMoving;
    m_bRequestedMoving = m_bMoving;
    m_bAwaiting = true;
    if (!m_worker)
        m_worker = std::make_unique<CPictureWorker>();
    m_worker->Submit(std::move(request));
    if (!m_pollTimer.isActive())
        m_pollTimer.start();
}

void CZarnix4View::PollPicture()
{
    if (!m_worker) {
        m_pollTimer.stop();
        return;
    }
    if (std::optional<CPictureResult> result = m_worker->TakeResult())
        ShowPicture(std::move(*result));
    if (!m_bAwaiting)
        m_pollTimer.stop();
}

void CZarnix4View::ShowPicture(CPictureResult result)
{
    if (!m_bBackground)
        return;
    if (m_bExporting) {
        // The canvas is the export's: the picture is drawn anew when the export is done.
        m_bRedraw = 1;
        return;
    }
    // Only pictures newer than the one shown, of the canvas and mode as they are now; an older
    // request's picture only when it is a moving frame (a drag shows the frames it can).
    if (result.id <= m_nShownId || (result.id != m_nRequestId && !result.moving))
        return;
    if (result.settings.width != m_nWidth || result.settings.height != m_nHeight ||
        result.settings.smooth != m_bSmoothDrawing)
        return;
    m_nShownId = result.id;
    if (result.id == m_nRequestId)
        m_bAwaiting = false;
    m_bShownMoving = result.moving;
    if (result.settings.smooth) {
        if (result.smoothDrawn)
            m_smoothPicture = std::move(result.smooth);
        else
            m_smoothPicture = CRgbaImage{};
    } else if (!result.canvas.empty()) {
        BeginDraw();
        if (!m_bitmap.IsEmpty()) {
            const int w = std::min({result.width, m_bitmap.Width(), m_nWidth});
            const int h = std::min({result.height, m_bitmap.Height(), m_nHeight});
            for (int y = 0; y < h; ++y)
                std::memcpy(m_bitmap.Bits() + static_cast<size_t>(y) * m_bitmap.Width(),
                            result.canvas.data() + static_cast<size_t>(y) * result.width, static_cast<size_t>(w) * 4);
        }
        EndDraw();
    }
    ++m_nSceneCount;
    // A moving frame is drawn coarser, or cut off at its frame budget, by design: never at
    // the Draw Limit. A whole one clears an earlier picture's stop text; one cut off leaves
    // the outcome and the status as they were.
    const bool whole = !result.moving || result.outcome == DrawOutcome::Complete;
    if (whole) {
        m_drawOutcome = result.outcome;
        m_nLineCount = result.lineCount;
        m_nPolygonCount = result.polygonCount;
    }
    if (m_pFrame != nullptr && whole) {
        m_pFrame->SetDrawOutcomeText(QString::fromStdString(DrawOutcomeText()));
        m_pFrame->SetMetricsText(MetricsText());
    }
    update();
}

void CZarnix4View::OnPointerRest()
{
    m_restTimer.stop();
    if (!m_bMoving)
        return;
    m_bMoving = false;
    // The moving frames give way to the full picture.
    if (m_bRequestedMoving || m_bShownMoving)
        Redraw();
}

void CZarnix4View::SetSmoothDrawing(bool on)
{
    if (on == m_bSmoothDrawing)
        return;
    m_bSmoothDrawing = on;
    if (!on)
        m_smoothPicture = CRgbaImage{};
    Redraw();
}

CRenderStyle CZarnix4View::ScreenStyle() const
{
    CRenderStyle style;
    style.showPattern = m_bShowPattern != 0;
    return style;
}

void CZarnix4View::DrawSmoothPicture()
{
    if (!DrawSmoothScene(*this, m_pDocument->m_pattern, ScreenStyle(), &m_smoothPicture, nullptr))
        m_smoothPicture = CRgbaImage{};
}

bool CZarnix4View::CopyPicture(QString* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = QString::fromStdString(why);
        return false;
    };
    if (m_pDocument == nullptr)
        return fail("There is no picture to copy");
    UpdateCanvasSize();
    // The copy draws with the renderer's own state; the window's picture and its pending
    // redraw stay as they are.
    CRenderStyle style;
    const uint8_t redraw = m_bRedraw;
    CRgbaImage picture;
    std::string why;
    const bool drawn = DrawSmoothScene(*this, m_pDocument->m_pattern, style, &picture, &why);
    m_bRedraw = redraw;
    if (!drawn)
        return fail(why);
    std::vector<uint8_t> png;
    if (!EncodePng(picture, &png, &why))
        return fail(why);
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), QByteArray(reinterpret_cast<const char*>(png.data()),
                                                          static_cast<qsizetype>(png.size())));
    // The SVG walks the whole fractal at full depth, whatever the screen shows; a fractal of
    // very many lines goes on the clipboard as a picture only, and the answer says so.
    bool tooMany = false;
    const uint64_t lines = LineCount(m_pDocument->m_pattern.m_count, m_nIterations, &tooMany);
    std::string svg;
    bool withSvg = false;
    if (!tooMany && lines <= kMaxClipboardSvgLines) {
        withSvg = WriteSvgText(*this, m_pDocument->m_pattern, style, &svg, &why);
        m_bRedraw = redraw;
        if (withSvg)
            data->setData(QStringLiteral("image/svg+xml"), QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
    }
    QGuiApplication::clipboard()->setMimeData(data);
    if (!withSvg && error)
        *error = QStringLiteral("copied as a picture only; the fractal has too many lines for SVG");
    return true;
}

QString CZarnix4View::MetricsText() const
{
    if (m_pDocument == nullptr)
        return QString();
    const CPattern& pattern = m_pDocument->m_pattern;
    return QStringLiteral("%1 segments \u00b7 %2 lines \u00b7 D %3")
        .arg(QString::fromStdString(FormatInt(pattern.m_count)), LinesText(pattern.m_count, m_nIterations),
             QString::fromStdString(FormatDimension(ComputeSimilarityDimension(pattern))));
}

bool CZarnix4View::FitFractal()
{
    if (m_pDocument == nullptr)
        return false;
    UpdateCanvasSize();
    if (!FitViewToFractal(m_pDocument->m_pattern, m_nIterations, m_nWidth, m_nHeight, m_transform))
        return false;
    // What lies under the pointer has changed with the view.
    m_gestures.ViewChanged(underMouse());
    Redraw();
    return true;
}

void CZarnix4View::SetShowHandles(bool on)
{
    if (on == m_bShowHandles)
        return;
    m_bShowHandles = on;
    update();  // the picture itself is unchanged
}

void CZarnix4View::SetGrid(const GridSettings& grid)
{
    if (!IsValidGridSpacing(grid.spacing))
        return;
    m_gestures.SetGrid(grid);
    if (m_bShowGrid)
        update();
}

void CZarnix4View::SetShowGrid(bool on)
{
    if (on == m_bShowGrid)
        return;
    m_bShowGrid = on;
    update();  // the picture itself is unchanged
}

void CZarnix4View::ZoomAboutCentre(float notches)
{
    m_transform.ZoomAt(m_transform.m_origin.x, m_transform.m_origin.y, notches);
    m_gestures.ViewChanged(underMouse());
    Redraw();
}

void CZarnix4View::Redraw()
{
    m_bRedraw = 1;
    update();
}

void CZarnix4View::RecordStep(const QString& name, const CPattern& before, int mergeKey)
{
    if (m_history.Record(name, before, mergeKey))
        Redraw();
}

void CZarnix4View::ShowSwitches()
{
    if (m_pFrame == nullptr)
        return;
    m_pFrame->SetCommandChecked(ID_VIEW_SHOW_PATTERN, m_bShowPattern != 0);
    m_pFrame->SetCommandChecked(ID_VIEW_SHOW_FRACTAL, m_bShowFractal != 0);
    m_pFrame->SetCommandChecked(ID_VIEW_FILL_MODE, m_bFill != 0);
}

void CZarnix4View::OnInitialUpdate()
{
    if (m_bFirstUpdate) {
        m_bFirstUpdate = 0;
        if (m_pFrame != nullptr) {
            m_pFrame->SetFieldValue(IDC_ITERATIONS, m_nIterations);
            m_pFrame->SetFieldValue(IDC_DRAW_LIMIT, m_nDrawLimit);
            m_pFrame->SetFieldValue(IDC_DETAIL, m_nDetail);
            ShowSwitches();
            m_pFrame->SetSliderPosition(CIterationBarRules::SliderPosition(m_nIterations));
        }
    }
    if (m_bLoadedFromFile) {
        // The file brought iterations, switches and the view transform; Detail and Draw
        // Limit are not stored in documents and keep their fields.
        m_bLoadedFromFile = 0;
        if (m_pFrame != nullptr) {
            m_pFrame->SetFieldValue(IDC_ITERATIONS, m_nIterations);
            ShowSwitches();
            m_pFrame->SetSliderPosition(CIterationBarRules::SliderPosition(m_nIterations));
        }
    } else {
        m_transform.Reset();
    }
    Redraw();
}

bool CZarnix4View::OnCommand(uint32_t commandId)
{
    switch (commandId) {
    case ID_VIEW_SHOW_PATTERN:
    case ID_VIEW_SHOW_FRACTAL:
    case ID_VIEW_FILL_MODE:
        OnToggleDisplay(commandId);
        return true;
    case ID_FILE_EXPORT:
        OnFileExport();
        return true;
    case ID_VIEW_FIT_FRACTAL:
        FitFractal();
        return true;
    case ID_VIEW_ZOOM_IN:
    case ID_VIEW_ZOOM_OUT:
        ZoomAboutCentre(commandId == ID_VIEW_ZOOM_IN ? 1.0f : -1.0f);
        return true;
    case ID_VIEW_SET_DEFAULT:
    case ID_VIEW_RESTORE_DEFAULT:
        // Handled by the window procedure, like the context menu's commands; the answer 0
        // lets the frame's own routing go on, which has nothing more to do for them.
        m_gestures.Command(commandId);
        return false;
    default:
        return false;
    }
}

void CZarnix4View::OnToggleDisplay(uint32_t commandId)
{
    uint8_t* value = nullptr;
    switch (commandId) {
    case ID_VIEW_SHOW_PATTERN: value = &m_bShowPattern; break;
    case ID_VIEW_SHOW_FRACTAL: value = &m_bShowFractal; break;
    case ID_VIEW_FILL_MODE: value = &m_bFill; break;
    default: return;
    }
    *value = *value ? 0 : 1;
    if (m_pFrame != nullptr)
        m_pFrame->SetCommandChecked(commandId, *value != 0);
    Redraw();
}

void CZarnix4View::OnFileExport()
{
    // One export at a time: a second one would take the canvas from under the first.
    if (m_pDocument == nullptr || m_bExporting)
        return;
    // The canvas is the export's while it runs; the window keeps showing the view's picture.
    m_exportImage = CanvasImage().copy();
    m_bExporting = true;
    const QString status = RunExportCommandDialog(this, *this, m_pDocument->m_pattern);
    m_bExporting = false;
    m_exportImage = QImage();
    // A resize during the export takes effect now.
    UpdateCanvasSize();
    if (m_pFrame != nullptr)
        m_pFrame->SetMessageText(status);
    // A bitmap export leaves the canvas to be drawn anew; show the view's picture again.
    if (m_bRedraw)
        update();
}

void CZarnix4View::ShowPointerPosition()
{
    if (m_pFrame == nullptr)
        return;
    std::string text = FormatFixed(m_pointer.x, 3);
    text += "  ";
    text += FormatFixed(m_pointer.y, 3);
    m_pFrame->SetPointerPaneText(QString::fromStdString(text));
}

// Messages carry a client position in device pixels as two signed 16-bit halves, as the
// classic window messages do: x in the low and y in the high half.
namespace {

POINT UnpackPosition(int64_t lParam)
{
    return POINT{static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
}

HeldButtons HeldFromKeyState(uint64_t state)
{
    return HeldButtons{(state & MK_LBUTTON) != 0, (state & MK_RBUTTON) != 0, (state & MK_MBUTTON) != 0};
}

KeyModifiers KeysFromKeyState(uint64_t state)
{
    return KeyModifiers{(state & MK_SHIFT) != 0, (state & MK_CONTROL) != 0, false};
}

HeldButtons HeldFromQt(Qt::MouseButtons buttons)
{
    return HeldButtons{(buttons & Qt::LeftButton) != 0, (buttons & Qt::RightButton) != 0,
                       (buttons & Qt::MiddleButton) != 0};
}

KeyModifiers KeysFromQt(Qt::KeyboardModifiers modifiers)
{
    return KeyModifiers{(modifiers & Qt::ShiftModifier) != 0, (modifiers & Qt::ControlModifier) != 0,
                        (modifiers & Qt::AltModifier) != 0};
}

}  // namespace

int64_t CZarnix4View::WindowProc(uint32_t message, uint64_t wParam, int64_t lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        return m_gestures.CursorRequest((lParam & 0xFFFF) == HTCLIENT) ? 1 : 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (wParam == VK_CONTROL) {
            if (message == WM_KEYDOWN)
                m_gestures.KeyPressed(EditKey::Control);
            else
                m_gestures.KeyReleased(EditKey::Control);
        }
        return 0;
    case WM_COMMAND:
        return HIWORD(wParam) == 0 && m_gestures.Command(LOWORD(wParam)) ? 1 : 0;
    case WM_MOUSEMOVE:
        return m_gestures.PointerMoved(UnpackPosition(lParam), HeldFromKeyState(wParam), KeysFromKeyState(wParam)) ? 1 : 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        const PointerButton button = message == WM_LBUTTONDOWN   ? PointerButton::Left
                                     : message == WM_RBUTTONDOWN ? PointerButton::Right
                                                                 : PointerButton::Middle;
        return m_gestures.ButtonPressed(button, UnpackPosition(lParam), HeldFromKeyState(wParam),
                                        KeysFromKeyState(wParam)) ? 1 : 0;
    }
    case WM_MOUSEWHEEL:
        // The position has been converted to client pixels already.
        return m_gestures.Wheel(UnpackPosition(lParam), static_cast<int16_t>(HIWORD(wParam)), HeldFromKeyState(wParam),
                                KeysFromKeyState(wParam)) ? 1 : 0;
    default:
        return 0;
    }
}

void CZarnix4View::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_gestures.PointerEntered();
}

void CZarnix4View::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_gestures.PointerLeft();
}

void CZarnix4View::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    m_gestures.FocusLost();
}

void CZarnix4View::mousePressEvent(QMouseEvent* event)
{
    PointerButton button;
    switch (event->button()) {
    case Qt::LeftButton: button = PointerButton::Left; break;
    case Qt::RightButton: button = PointerButton::Right; break;
    case Qt::MiddleButton: button = PointerButton::Middle; break;
    default: QWidget::mousePressEvent(event); return;
    }
    if (!m_gestures.ButtonPressed(button, ClientToDevice(event->position()), HeldFromQt(event->buttons()),
                                  KeysFromQt(event->modifiers())))
        QWidget::mousePressEvent(event);
}

// Letting go of the drag or pan shows the full picture at once.
void CZarnix4View::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_gestures.ButtonReleased(PointerButton::Left);
    if (!(event->buttons() & (Qt::LeftButton | Qt::MiddleButton)))
        OnPointerRest();
    QWidget::mouseReleaseEvent(event);
}

void CZarnix4View::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bBackground && (event->buttons() & (Qt::LeftButton | Qt::MiddleButton))) {
        m_bMoving = true;
        m_restTimer.start();
    }
    if (!m_gestures.PointerMoved(ClientToDevice(event->position()), HeldFromQt(event->buttons()),
                                 KeysFromQt(event->modifiers())))
        QWidget::mouseMoveEvent(event);
}

// A quick second click acts as a second press: each click on a knee steps it once more.
void CZarnix4View::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CZarnix4View::wheelEvent(QWheelEvent* event)
{
    if (m_gestures.Wheel(ClientToDevice(event->position()), event->angleDelta().y(), HeldFromQt(event->buttons()),
                         KeysFromQt(event->modifiers())))
        event->accept();
    else
        QWidget::wheelEvent(event);
}

void CZarnix4View::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        m_gestures.KeyPressed(EditKey::Control);
    QWidget::keyPressEvent(event);
}

void CZarnix4View::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        m_gestures.KeyReleased(EditKey::Control);
    QWidget::keyReleaseEvent(event);
}

QString CZarnix4View::HintText() const
{
    return QString::fromStdString(m_gestures.HintText());
}

void CZarnix4View::RepaintHandles()
{
    if (m_bShowHandles)
        update();  // the picture itself is unchanged
}

void CZarnix4View::ShowHint(const std::string& text)
{
    if (m_pFrame != nullptr)
        m_pFrame->SetHintText(QString::fromStdString(text));
}

void CZarnix4View::ShowMessage(const std::string& text)
{
    if (m_pFrame != nullptr)
        m_pFrame->SetMessageText(QString::fromStdString(text));
}

void CZarnix4View::RecordEditStep(const std::string& name, const CPattern& before, int mergeKey)
{
    // The handler's redraw bit asks for the picture; recording adds no redraw of its own.
    m_history.Record(QString::fromStdString(name), before, mergeKey);
}

POINT CZarnix4View::PointerPosition() const
{
    return ClientToDevice(mapFromGlobal(QCursor::pos().toPointF()));
}

bool CZarnix4View::IsInView(POINT client) const
{
    const QSize size = DeviceSize();
    return client.x >= 0 && client.y >= 0 && client.x < size.width() && client.y < size.height();
}

int32_t* CZarnix4View::FieldValue(int fieldId)
{
    switch (fieldId) {
    case IDC_ITERATIONS: return &m_nIterations;
    case IDC_DETAIL: return &m_nDetail;
    case IDC_DRAW_LIMIT: return &m_nDrawLimit;
    default: return nullptr;
    }
}

bool CZarnix4View::OnFieldChanged(int fieldId, const QString& text)
{
    int32_t* value = FieldValue(fieldId);
    if (value == nullptr)
        return false;
    const int32_t typed = CIterationBarRules::ReadFieldText(text.toStdString());
    if (CIterationBarRules::Accepts(fieldId, typed, *value)) {
        *value = typed;
        Redraw();
        if (fieldId == IDC_ITERATIONS && m_pFrame != nullptr)
            m_pFrame->SetSliderPosition(CIterationBarRules::SliderPosition(typed));
    }
    return true;
}

bool CZarnix4View::OnFieldLeft(int fieldId)
{
    int32_t* value = FieldValue(fieldId);
    if (value == nullptr)
        return false;
    // A rejected entry gives way to the value in force when the user leaves the field.
    if (m_pFrame != nullptr)
        m_pFrame->SetFieldValue(fieldId, *value);
    return true;
}

void CZarnix4View::OnHScroll(int position)
{
    if (position == m_nIterations)
        return;
    m_nIterations = position;
    if (m_pFrame != nullptr)
        m_pFrame->SetFieldValue(IDC_ITERATIONS, position);
    Redraw();
}

void CZarnix4View::ShowCursor(uint8_t index)
{
    setCursor(EditorCursor(index));
}

void CZarnix4View::TrackContextMenu(uint8_t subMenu, uint8_t kneeFlags, POINT client)
{
    QMenu* menu = m_contextMenu->SubMenu(subMenu);
    if (menu == nullptr)
        return;
    if (subMenu == HIT_KNEE)
        m_contextMenu->SetKneeChecks(kneeFlags);
    const qreal ratio = devicePixelRatioF();
    menu->popup(mapToGlobal(QPointF(client.x / ratio, client.y / ratio)).toPoint());
}

bool CZarnix4View::RunSetCoordinateDialog(CPattern& pattern, int index)
{
    if (!m_setCoordinateDlg)
        m_setCoordinateDlg = new CSetCoordinateDlg(window());
    m_setCoordinateDlg->SetTarget(&pattern, index);
    const bool confirmed = m_setCoordinateDlg->exec() == QDialog::Accepted;
    m_setCoordinateDlg->SetTarget(nullptr, 0);
    return confirmed;
}
