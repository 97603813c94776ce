#include "interaction/editor_resources_qt.h"

#include <QBitmap>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>

#include <functional>

#include "document/pattern.h"
#include "interaction/pattern_editor.h"
#include "interaction/set_coordinate.h"

namespace {

// A 32 by 32 two-colour cursor drawn by `draw` in black on white-outlined shapes.
QCursor DrawnCursor(int hotX, int hotY, const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    draw(p);
    p.end();
    return QCursor(pixmap, hotX, hotY);
}

// The classic arrow with its tip at (0, 0), white with a black outline.
void DrawArrow(QPainter& p)
{
    QPainterPath arrow;
    arrow.moveTo(0.5, 0.5);
    arrow.lineTo(0.5, 16.5);
    arrow.lineTo(4.5, 12.5);
    arrow.lineTo(7.5, 19.5);
    arrow.lineTo(9.5, 18.5);
    arrow.lineTo(6.5, 11.5);
    arrow.lineTo(11.5, 11.5);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
}

void DrawSign(QPainter& p, bool plus)
{
    // A boxed sign to the lower right of the arrow.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13.5, 13.5, 10, 10));
    p.fillRect(QRectF(15, 18, 8, 2), Qt::black);
    if (plus)
        p.fillRect(QRectF(18, 15, 2, 8), Qt::black);
}

// Two half-arrows pointing opposite ways about the centre (15, 15): the knee's direction.
void DrawOpposedArrows(QPainter& p)
{
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    QPainterPath upper;
    upper.moveTo(4.5, 12.5);
    upper.lineTo(22.5, 12.5);
    upper.lineTo(22.5, 8.5);
    upper.lineTo(28.5, 14.5);
    upper.lineTo(4.5, 14.5);
    upper.closeSubpath();
    QPainterPath lower;
    lower.moveTo(26.5, 17.5);
    lower.lineTo(8.5, 17.5);
    lower.lineTo(8.5, 21.5);
    lower.lineTo(2.5, 15.5);
    lower.lineTo(26.5, 15.5);
    lower.closeSubpath();
    p.drawPath(upper);
    p.drawPath(lower);
}

// The arrow with a boxed plus or minus beside it; the hot spot is the arrow's tip.
QCursor ArrowWithSign(bool plus)
{
    return DrawnCursor(6, 5, [plus](QPainter& p) {
        p.translate(6, 5);
        DrawArrow(p);
        p.translate(-6, -5);
        DrawSign(p, plus);
    });
}

QAction* AddCommand(QMenu* menu, const QString& text, uint32_t id)
{
    QAction* action = menu->addAction(text);
    action->setData(QVariant::fromValue(id));
    return action;
}

}  // namespace

std::array<QCursor, 5> MakeEditorCursors()
{
    return {
        QCursor(Qt::ArrowCursor),
        ArrowWithSign(true),
        ArrowWithSign(false),
        QCursor(Qt::SizeAllCursor),
        DrawnCursor(15, 15, DrawOpposedArrows),
    };
}

CEditorContextMenu::CEditorContextMenu()
{
    // Shortcut texts after the tab show in the menu's shortcut column, as on any desktop.
    m_subMenus[0] = m_root.addMenu(QStringLiteral("Space"));
    AddCommand(m_subMenus[0], QStringLiteral("&Add Point\tCtrl+LMouse"), ID_POINT_ADD);

    m_subMenus[1] = m_root.addMenu(QStringLiteral("Point"));
    AddCommand(m_subMenus[1], QStringLiteral("&Remove\tCtrl+LMouse"), ID_POINT_REMOVE);
    m_subMenus[1]->addSeparator();
    AddCommand(m_subMenus[1], QStringLiteral("Set &Coordinate..."), ID_POINT_SET_COORDINATE);

    m_subMenus[2] = m_root.addMenu(QStringLiteral("Knee"));
    AddCommand(m_subMenus[2], QStringLiteral("&Add Point\tCtrl+LMouse"), ID_POINT_ADD);
    m_subMenus[2]->addSeparator();
    for (auto [text, id] : {std::pair{"&Reverse", ID_KNEE_REVERSE}, std::pair{"&Mirror", ID_KNEE_MIRROR},
                            std::pair{"&Static", ID_KNEE_STATIC}, std::pair{"&Hide", ID_KNEE_HIDE}}) {
        QAction* action = AddCommand(m_subMenus[2], QString::fromLatin1(text), id);
        action->setCheckable(true);
    }
}

CEditorContextMenu::~CEditorContextMenu() = default;

QMenu* CEditorContextMenu::SubMenu(uint8_t index) const
{
    return index < m_subMenus.size() ? m_subMenus[index] : nullptr;
}

QAction* CEditorContextMenu::Action(uint8_t subMenu, uint32_t commandId) const
{
    QMenu* menu = SubMenu(subMenu);
    if (!menu)
        return nullptr;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == commandId)
            return action;
    }
    return nullptr;
}

void CEditorContextMenu::SetKneeChecks(uint8_t kneeFlags)
{
    Action(HIT_KNEE, ID_KNEE_REVERSE)->setChecked(kneeFlags & KNEE_REVERSE);
    Action(HIT_KNEE, ID_KNEE_MIRROR)->setChecked(kneeFlags & KNEE_MIRROR);
    Action(HIT_KNEE, ID_KNEE_HIDE)->setChecked(kneeFlags & KNEE_HIDE);
    Action(HIT_KNEE, ID_KNEE_STATIC)->setChecked(kneeFlags & KNEE_STATIC);
}

CSetCoordinateDlg::CSetCoordinateDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      m_x(new QLineEdit(this)),
      m_y(new QLineEdit(this)),
      m_length(new QLineEdit(this)),
      m_angle(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Set Coordinate"));
    setModal(true);
    m_x->setObjectName(QStringLiteral("coordinateX"));
    m_y->setObjectName(QStringLiteral("coordinateY"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("x:"), this), 0, 0);
    grid->addWidget(m_x, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("y:"), this), 1, 0);
    grid->addWidget(m_y, 1, 1);
    m_length->setObjectName(QStringLiteral("coordinateLength"));
    m_angle->setObjectName(QStringLiteral("coordinateAngle"));
    m_length->setToolTip(QStringLiteral("Distance from the previous point, in pattern units"));
    m_angle->setToolTip(QStringLiteral("Direction from the previous point, in degrees counter-clockwise from the x axis"));
    grid->addWidget(new QLabel(QStringLiteral("length:"), this), 2, 0);
    grid->addWidget(m_length, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("angle (\u00b0):"), this), 3, 0);
    grid->addWidget(m_angle, 3, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    grid->addWidget(ok, 4, 1);
    connect(m_x, &QLineEdit::textEdited, this, [this]() { SyncPolarFromXY(); });
    connect(m_y, &QLineEdit::textEdited, this, [this]() { SyncPolarFromXY(); });
    connect(m_length, &QLineEdit::textEdited, this, [this]() { SyncXYFromPolar(); });
    connect(m_angle, &QLineEdit::textEdited, this, [this]() { SyncXYFromPolar(); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CSetCoordinateDlg::SetTarget(CPattern* pattern, int index)
{
    m_pPattern = pattern;
    m_nIndex = index;
    m_bPolarTyped = false;
    if (pattern && index >= 0 && index <= pattern->m_count) {
        m_x->setText(QString::fromStdString(CoordinateText(pattern->m_points[index].x)));
        m_y->setText(QString::fromStdString(CoordinateText(pattern->m_points[index].y)));
        m_length->setText(QString::fromStdString(LengthText(*pattern, index)));
        m_angle->setText(QString::fromStdString(AngleText(*pattern, index)));
    }
    const bool polar = pattern && index >= 1 && index <= pattern->m_count;
    m_length->setEnabled(polar);
    m_angle->setEnabled(polar);
}

void CSetCoordinateDlg::SyncPolarFromXY()
{
    m_bPolarTyped = false;
    if (!m_pPattern || m_nIndex < 1 || m_nIndex > m_pPattern->m_count)
        return;
    CPattern trial = *m_pPattern;
    ApplySetCoordinate(trial, m_nIndex, m_x->text().toStdString(), m_y->text().toStdString());
    m_length->setText(QString::fromStdString(LengthText(trial, m_nIndex)));
    m_angle->setText(QString::fromStdString(AngleText(trial, m_nIndex)));
}

void CSetCoordinateDlg::SyncXYFromPolar()
{
    m_bPolarTyped = true;
    if (!m_pPattern || m_nIndex < 1 || m_nIndex > m_pPattern->m_count)
        return;
    CPattern trial = *m_pPattern;
    ApplySetPolar(trial, m_nIndex, m_length->text().toStdString(), m_angle->text().toStdString());
    m_x->setText(QString::fromStdString(CoordinateText(trial.m_points[m_nIndex].x)));
    m_y->setText(QString::fromStdString(CoordinateText(trial.m_points[m_nIndex].y)));
}

void CSetCoordinateDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred over the main window, the focus in the x field.
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->geometry().center() - rect().center());
    m_x->setFocus();
    m_x->selectAll();
}

void CSetCoordinateDlg::accept()
{
    if (m_pPattern && m_bPolarTyped)
        ApplySetPolar(*m_pPattern, m_nIndex, m_length->text().toStdString(), m_angle->text().toStdString());
    else if (m_pPattern)
        ApplySetCoordinate(*m_pPattern, m_nIndex, m_x->text().toStdString(), m_y->text().toStdString());
    QDialog::accept();
}
