#include "view/handles_overlay_qt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <vector>

#include "document/pattern.h"
#include "interaction/grid_lattice.h"
#include "view/view_transform.h"

namespace {

// Light fill inside a dark outline inside a light halo: readable on white, black and grey.
const QColor kDark(24, 24, 24);
const QColor kLight(255, 255, 255);
const QColor kPoint(255, 255, 255);
const QColor kKnee(40, 120, 230);
const QColor kHover(255, 140, 0);
const QColor kGrabbed(230, 40, 40);

QPointF Logical(const CViewTransform& transform, PointF p, qreal ratio)
{
    const POINT d = transform.WorldToScreen(p);
    // The centre of the device pixel, in logical coordinates.
    return QPointF((d.x + 0.5) / ratio, (d.y + 0.5) / ratio);
}

void Outlined(QPainter& painter, const QPainterPath& shape, const QColor& fill)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kLight, 3.0));
    painter.drawPath(shape);
    painter.setPen(QPen(kDark, 1.2));
    painter.setBrush(fill);
    painter.drawPath(shape);
}

}  // namespace

const char* KneeBadgeText(uint8_t flags, char* buffer)
{
    char* out = buffer;
    if (flags & KNEE_REVERSE)
        *out++ = 'R';
    if (flags & KNEE_MIRROR)
        *out++ = 'M';
    if (flags & KNEE_HIDE)
        *out++ = 'H';
    if (flags & KNEE_STATIC)
        *out++ = 'S';
    *out = '\0';
    return buffer;
}

void PaintHandles(QPainter& painter, const CPattern& pattern, const CViewTransform& transform, qreal ratio,
                  const HandlesState& state)
{
    const int n = pattern.m_count;
    if (n < PATTERN_MIN_SEGMENTS || n > PATTERN_MAX_SEGMENTS || !(ratio > 0.0))
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    const QFontMetricsF metrics(font);

    // Knees first, so the points on top stay grabbable to the eye where they meet.
    for (int i = 0; i < n; ++i) {
        const QPointF c = Logical(transform, pattern.m_knees[i], ratio);
        const bool hover = state.hitKind == HIT_KNEE && state.hitIndex == i;
        const qreal r = hover ? 4.5 : 3.5;
        QPainterPath diamond;
        diamond.moveTo(c + QPointF(0, -r));
        diamond.lineTo(c + QPointF(r, 0));
        diamond.lineTo(c + QPointF(0, r));
        diamond.lineTo(c + QPointF(-r, 0));
        diamond.closeSubpath();
        Outlined(painter, diamond, hover ? kHover : kKnee);

        char letters[8];
        const QString badge = QString::fromLatin1(KneeBadgeText(pattern.m_kneeFlags[i], letters));
        if (badge.isEmpty())
            continue;
        // A dark rounded badge with light letters and a light rim, beside the marker.
        const QSizeF size(metrics.horizontalAdvance(badge) + 6.0, metrics.height() + 1.0);
        const QRectF box(c + QPointF(r + 3.0, -size.height() / 2.0), size);
        painter.setPen(QPen(kLight, 1.0));
        painter.setBrush(hover ? kHover.darker(160) : QColor(kDark.red(), kDark.green(), kDark.blue(), 225));
        painter.drawRoundedRect(box, 3.0, 3.0);
        painter.setPen(kLight);
        painter.drawText(box, Qt::AlignCenter, badge);
    }

    for (int i = 0; i <= n; ++i) {
        const QPointF c = Logical(transform, pattern.m_points[i], ratio);
        const bool hit = state.hitKind == HIT_POINT && state.hitIndex == i;
        const qreal half = hit ? 5.0 : 4.0;
        QPainterPath square;
        square.addRect(QRectF(c - QPointF(half, half), QSizeF(2 * half, 2 * half)));
        Outlined(painter, square, hit ? (state.dragging ? kGrabbed : kHover) : kPoint);
    }
    painter.restore();
}

void PaintGrid(QPainter& painter, const GridSettings& grid, const CViewTransform& transform, qreal ratio,
               QSize deviceSize)
{
    if (!(ratio > 0.0) || deviceSize.isEmpty())
        return;
    // The plane's box under the canvas; lines closer than 5 pixels apart are not drawn.
    const PointF a = transform.ScreenToWorld(-1, -1);
    const PointF b = transform.ScreenToWorld(deviceSize.width() + 1, deviceSize.height() + 1);
    const int maxLines = (deviceSize.width() + deviceSize.height()) * 3 / 5 + 8;
    const std::vector<GridLine> lines = GridLines(grid, std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                                                  std::max(a.y, b.y), maxLines);
    if (lines.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Mid grey with little opacity: faint on white and on black, never hiding the picture.
    painter.setPen(QPen(QColor(110, 120, 150, 70), 0));
    for (const GridLine& line : lines) {
        const POINT p = transform.WorldToScreen(line.from);
        const POINT q = transform.WorldToScreen(line.to);
        painter.drawLine(QPointF((p.x + 0.5) / ratio, (p.y + 0.5) / ratio), QPointF((q.x + 0.5) / ratio, (q.y + 0.5) / ratio));
    }
    painter.restore();
}
