#include "app/iteration_bar_qt.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>

#include "interaction/iteration_bar_rules.h"
#include "platform/text_format.h"

CIterationBar::CIterationBar(QWidget* parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("IterationBar"));
    setWindowTitle(QStringLiteral("Iteration Bar"));
    setMovable(true);

    auto* label = new QLabel(QStringLiteral("Iterations:"), this);
    label->setContentsMargins(3, 0, 2, 0);
    addWidget(label);

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("IterationSlider"));
    m_slider->setRange(ITERATION_SLIDER_MIN, ITERATION_SLIDER_MAX);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(1);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(5);
    m_slider->setFocusPolicy(Qt::StrongFocus);
    m_slider->setFixedWidth(fontMetrics().averageCharWidth() * 22);
    addWidget(m_slider);
    // Every action the user takes (drag, keys, clicks, wheel) reaches the view with the
    // position it leads to, also when that is the position shown already: beyond 20
    // iterations the slider sits at its end, and End must still set 20. A move by the
    // program triggers no action.
    connect(m_slider, &QAbstractSlider::actionTriggered, this, [this](int) { emit sliderMoved(m_slider->sliderPosition()); });

    m_iterations = AddField(QString(), IDC_ITERATIONS, QStringLiteral("999"));
    m_detail = AddField(QStringLiteral("Detail:"), IDC_DETAIL, QStringLiteral("999"));
    m_drawLimit = AddField(QStringLiteral("Draw Limit:"), IDC_DRAW_LIMIT, QStringLiteral("999999"));
    const QString iterationsTip = QStringLiteral("Iterations: how many times every segment is replaced by the pattern");
    m_slider->setToolTip(iterationsTip);
    m_iterations->setToolTip(iterationsTip);
    m_detail->setToolTip(QStringLiteral("Detail: smallest line drawn, in pixels"));
    m_drawLimit->setToolTip(QStringLiteral("Draw Limit: time for one picture, in milliseconds"));
}

QLineEdit* CIterationBar::AddField(const QString& label, int fieldId, const QString& widest)
{
    if (!label.isEmpty()) {
        auto* text = new QLabel(label, this);
        text->setContentsMargins(6, 0, 2, 0);
        addWidget(text);
    }
    auto* field = new QLineEdit(this);
    field->setObjectName(QStringLiteral("Field%1").arg(fieldId));
    // Digits only, as typed; a text the program writes is never refused.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    // Framed on the base colour, so the fields look editable.
    field->setFrame(true);
    field->setMaxLength(9);
    field->setFixedWidth(QFontMetrics(field->font()).horizontalAdvance(widest) + 14);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textChanged, this, [this, fieldId](const QString& text) { emit fieldChanged(fieldId, text); });
    addWidget(field);
    return field;
}

QLineEdit* CIterationBar::Field(int fieldId) const
{
    switch (fieldId) {
    case IDC_ITERATIONS: return m_iterations;
    case IDC_DETAIL: return m_detail;
    case IDC_DRAW_LIMIT: return m_drawLimit;
    default: return nullptr;
    }
}

void CIterationBar::SetFieldValue(int fieldId, int32_t value)
{
    if (QLineEdit* field = Field(fieldId))
        field->setText(QString::fromStdString(FormatInt(value)));
}

void CIterationBar::SetSliderPosition(int32_t position)
{
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(position);
}

bool CIterationBar::eventFilter(QObject* watched, QEvent* event)
{
    // The window's shortcuts win over the keys a line edit takes for itself (on X11, Ctrl+E
    // moves to the end of the line): such a key, when it reaches the field, triggers the
    // window's command instead. The clipboard, undo and select-all keys stay the field's.
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) != nullptr) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (QAction* action = WindowShortcut(key)) {
            action->trigger();
            return true;
        }
    }
    // Opening a menu takes the focus only for a moment; that is not leaving the field.
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        for (int id : {IDC_ITERATIONS, IDC_DETAIL, IDC_DRAW_LIMIT}) {
            if (watched == Field(id))
                emit fieldLeft(id);
        }
    }
    return QToolBar::eventFilter(watched, event);
}

QAction* CIterationBar::WindowShortcut(const QKeyEvent* key) const
{
    if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0)
        return nullptr;  // typing, deleting and moving in the field
    for (QKeySequence::StandardKey own : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                          QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll}) {
        if (key->matches(own))
            return nullptr;
    }
    const QKeySequence pressed(key->keyCombination());
    QWidget* frame = window();
    if (frame == nullptr || frame == this)
        return nullptr;
    for (QAction* action : frame->findChildren<QAction*>()) {
        if (!action->isEnabled() || action->shortcutContext() == Qt::WidgetShortcut)
            continue;
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut == pressed)
                return action;
        }
    }
    return nullptr;
}
