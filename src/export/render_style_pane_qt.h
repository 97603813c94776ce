// The export dialog's drawing options for the PNG and SVG types: line width, line, fill and
// background colours (or a transparent background), a two-colour gradient along the path,
// and whether the pattern's construction lines are drawn. The choices are remembered in the
// per-user settings between runs.
#pragma once

#include <QPushButton>
#include <QWidget>

#include "render/render_style.h"

class QCheckBox;
class QDoubleSpinBox;

// A button that shows a colour and lets the user pick another.
class CColorButton : public QPushButton {
    Q_OBJECT
public:
    CColorButton(const QString& title, QWidget* parent);
    RgbColor Color() const { return m_color; }
    void SetColor(RgbColor color);

signals:
    void ColorChanged(RgbColor color);

private:
    void Choose();

    QString m_title;
    RgbColor m_color;
};

class CRenderStylePane : public QWidget {
    Q_OBJECT
public:
    // `style` is edited in place as the controls change; it must outlive the pane.
    CRenderStylePane(QWidget* parent, CRenderStyle* style);

    QDoubleSpinBox* LineWidth() const { return m_lineWidth; }
    CColorButton* LineColor() const { return m_lineColor; }
    CColorButton* FillColor() const { return m_fillColor; }
    CColorButton* Background() const { return m_background; }
    QCheckBox* Transparent() const { return m_transparent; }
    QCheckBox* Gradient() const { return m_gradient; }
    CColorButton* GradientFrom() const { return m_gradientFrom; }
    CColorButton* GradientTo() const { return m_gradientTo; }
    QCheckBox* ShowPattern() const { return m_showPattern; }

    // The style last remembered, or the default one; values out of range are brought back.
    static CRenderStyle RememberedStyle();
    static void RememberStyle(const CRenderStyle& style);

private:
    void UpdateEnabled();

    CRenderStyle* m_style;
    QDoubleSpinBox* m_lineWidth = nullptr;
    CColorButton* m_lineColor = nullptr;
    CColorButton* m_fillColor = nullptr;
    CColorButton* m_background = nullptr;
    QCheckBox* m_transparent = nullptr;
    QCheckBox* m_gradient = nullptr;
    CColorButton* m_gradientFrom = nullptr;
    CColorButton* m_gradientTo = nullptr;
    QCheckBox* m_showPattern = nullptr;
};
