// The Iteration Bar: the second band of the top bar area, with the iterations slider and
// the Iterations, Detail and Draw Limit fields. It holds no values of its own; it reports
// what the user does and shows what it is told.
#pragma once

#include <QToolBar>

#include <cstdint>

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QSlider;

class CIterationBar : public QToolBar {
    Q_OBJECT
public:
    explicit CIterationBar(QWidget* parent = nullptr);

    QSlider* Slider() const { return m_slider; }
    // The field with control id 1004, 1005 or 1007; null for any other id.
    QLineEdit* Field(int fieldId) const;

    // Writes a number into a field; the field reports the change like a typed one.
    void SetFieldValue(int fieldId, int32_t value);
    // Moves the slider without reporting a change.
    void SetSliderPosition(int32_t position);

signals:
    // The text of a field changed, by typing or by the program.
    void fieldChanged(int fieldId, const QString& text);
    // A field lost the keyboard focus.
    void fieldLeft(int fieldId);
    // The user moved the slider.
    void sliderMoved(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's enabled command whose shortcut is this key (with Ctrl, Alt or Meta, and
    // none of the field's own clipboard, undo and select-all keys); null if there is none.
    QAction* WindowShortcut(const QKeyEvent* key) const;

    QLineEdit* AddField(const QString& label, int fieldId, const QString& widest);

    QSlider* m_slider = nullptr;
    QLineEdit* m_iterations = nullptr;
    QLineEdit* m_detail = nullptr;
    QLineEdit* m_drawLimit = nullptr;
};
