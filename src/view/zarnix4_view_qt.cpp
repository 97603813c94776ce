#include "view/zarnix4_view_qt.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "document/zarnix4_doc.h"
#include "interaction/iteration_bar_rules.h"

CZarnix4View::CZarnix4View(QWidget* parent) : QWidget(parent)
{
    // The picture covers every pixel of the widget, so Qt need not erase before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(1, 1);
    m_pOwner = this;
    UpdateScreenSize();
    // A screen plugged in later may be larger; the next recreated bitmap takes its size.
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this]() { UpdateScreenSize(); });
}

CZarnix4View::~CZarnix4View() = default;

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
    // A move to a screen of another pixel ratio changes the device size without a resize.
    UpdateCanvasSize();
    BeginDraw();
    if (m_bRedraw && m_pDocument != nullptr) {
        DrawScene(m_pDocument->m_pattern);
        ++m_nSceneCount;
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
    Q_UNUSED(event);
}

void CZarnix4View::Redraw()
{
    m_bRedraw = 1;
    update();
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
    case ID_VIEW_SET_DEFAULT:
    case ID_VIEW_RESTORE_DEFAULT:
        // Handled by the window procedure, like the context menu's commands; the answer 0
        // lets the frame's own routing go on, which has nothing more to do for them.
        WindowProc(WM_COMMAND, commandId, 0);
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
    // The export dialog and writers hook in here.
}

int64_t CZarnix4View::WindowProc(uint32_t message, uint64_t wParam, int64_t lParam)
{
    Q_UNUSED(lParam);
    if (message != WM_COMMAND || m_pDocument == nullptr)
        return 0;
    switch (LOWORD(wParam)) {
    case ID_VIEW_SET_DEFAULT:
        // The current view becomes the pattern's own coordinates and the default view.
        m_transform.BakeIntoPoints(m_pDocument->m_pattern, m_pDocument->m_pattern.m_count);
        Redraw();
        return 1;
    case ID_VIEW_RESTORE_DEFAULT:
        m_transform.Reset();
        Redraw();
        return 1;
    default:
        return 0;
    }
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
    switch (index) {
    case CURSOR_ADD:
    case CURSOR_REMOVE: setCursor(Qt::CrossCursor); break;
    case CURSOR_MOVE: setCursor(Qt::SizeAllCursor); break;
    case CURSOR_KNEE: setCursor(Qt::PointingHandCursor); break;
    default: setCursor(Qt::ArrowCursor); break;
    }
}

void CZarnix4View::TrackContextMenu(uint8_t subMenu, uint8_t kneeFlags, POINT client)
{
    // The context menus come with the pointer editing.
    Q_UNUSED(subMenu);
    Q_UNUSED(kneeFlags);
    Q_UNUSED(client);
}

bool CZarnix4View::RunSetCoordinateDialog(CPattern& pattern, int index)
{
    // The Set Coordinate dialog comes with the pointer editing.
    Q_UNUSED(pattern);
    Q_UNUSED(index);
    return false;
}

void CZarnix4View::mousePressEvent(QMouseEvent* event) { QWidget::mousePressEvent(event); }
void CZarnix4View::mouseReleaseEvent(QMouseEvent* event) { QWidget::mouseReleaseEvent(event); }
void CZarnix4View::mouseMoveEvent(QMouseEvent* event) { QWidget::mouseMoveEvent(event); }
void CZarnix4View::mouseDoubleClickEvent(QMouseEvent* event) { QWidget::mouseDoubleClickEvent(event); }
void CZarnix4View::wheelEvent(QWheelEvent* event) { QWidget::wheelEvent(event); }
void CZarnix4View::keyPressEvent(QKeyEvent* event) { QWidget::keyPressEvent(event); }
void CZarnix4View::keyReleaseEvent(QKeyEvent* event) { QWidget::keyReleaseEvent(event); }
