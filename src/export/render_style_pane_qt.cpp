#include "export/render_style_pane_qt.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QSettings>

#include <algorithm>
#include <cmath>

#include "app/recent_file_list_qt.h"

namespace {

const char* const kGroup = "Export";

QColor ToQColor(RgbColor c)
{
    return QColor(c.r, c.g, c.b);
}

RgbColor ReadColor(const QSettings& settings, const char* key, RgbColor fallback)
{
    RgbColor color = fallback;
    const QString text = settings.value(QString::fromLatin1(key)).toString();
    if (!text.isEmpty() && !ParseColor(text.toStdString(), &color))
        return fallback;
    return color;
}

}  // namespace

CColorButton::CColorButton(const QString& title, QWidget* parent) : QPushButton(parent), m_title(title)
{
    connect(this, &QPushButton::clicked, this, &CColorButton::Choose);
    SetColor(RgbColor{});
}

void CColorButton::SetColor(RgbColor color)
{
    const bool changed = !(color == m_color);
    m_color = color;
    QPixmap swatch(16, 16);
    swatch.fill(ToQColor(color));
    setIcon(QIcon(swatch));
    setText(QString::fromStdString(FormatColor(color)));
    if (changed)
        emit ColorChanged(color);
}

void CColorButton::Choose()
{
    const QColor chosen = QColorDialog::getColor(ToQColor(m_color), this, m_title);
    if (chosen.isValid())
        SetColor(RgbColor{static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                          static_cast<uint8_t>(chosen.blue())});
}

CRenderStylePane::CRenderStylePane(QWidget* parent, CRenderStyle* style) : QWidget(parent), m_style(style)
{
    setObjectName(QStringLiteral("renderStylePane"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);

    m_lineWidth = new QDoubleSpinBox(this);
    m_lineWidth->setObjectName(QStringLiteral("exportLineWidth"));
    m_lineWidth->setRange(RENDER_MIN_LINE_WIDTH, RENDER_MAX_LINE_WIDTH);
    m_lineWidth->setSingleStep(0.5);
    m_lineWidth->setDecimals(1);
    m_lineWidth->setSuffix(QStringLiteral(" px"));
    m_lineColor = new CColorButton(QStringLiteral("Line Colour"), this);
    m_fillColor = new CColorButton(QStringLiteral("Fill Colour"), this);
    m_background = new CColorButton(QStringLiteral("Background Colour"), this);
    m_transparent = new QCheckBox(QStringLiteral("Transparent"), this);
    m_gradient = new QCheckBox(QStringLiteral("Gradient:"), this);
    m_gradientFrom = new CColorButton(QStringLiteral("Gradient Start Colour"), this);
    m_gradientTo = new CColorButton(QStringLiteral("Gradient End Colour"), this);
    m_showPattern = new QCheckBox(QStringLiteral("Draw pattern"), this);

    grid->addWidget(new QLabel(QStringLiteral("Line width:"), this), 0, 0);
    grid->addWidget(m_lineWidth, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Line:"), this), 0, 2);
    grid->addWidget(m_lineColor, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Fill:"), this), 0, 4);
    grid->addWidget(m_fillColor, 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("Background:"), this), 1, 0);
    grid->addWidget(m_background, 1, 1);
    grid->addWidget(m_transparent, 1, 2, 1, 2);
    grid->addWidget(m_showPattern, 1, 4, 1, 2);
    grid->addWidget(m_gradient, 2, 0);
    grid->addWidget(m_gradientFrom, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("to"), this), 2, 2);
    grid->addWidget(m_gradientTo, 2, 3);
    grid->setColumnStretch(6, 1);

    m_lineWidth->setValue(m_style->lineWidth);
    m_lineColor->SetColor(m_style->lineColor);
    m_fillColor->SetColor(m_style->fillColor);
    m_background->SetColor(m_style->background);
    m_transparent->setChecked(m_style->transparent);
    m_gradient->setChecked(m_style->gradient);
    m_gradientFrom->SetColor(m_style->gradientFrom);
    m_gradientTo->SetColor(m_style->gradientTo);
    m_showPattern->setChecked(m_style->showPattern);

    connect(m_lineWidth, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { m_style->lineWidth = static_cast<float>(v); });
    connect(m_lineColor, &CColorButton::ColorChanged, this, [this](RgbColor c) { m_style->lineColor = c; });
    connect(m_fillColor, &CColorButton::ColorChanged, this, [this](RgbColor c) { m_style->fillColor = c; });
    connect(m_background, &CColorButton::ColorChanged, this, [this](RgbColor c) { m_style->background = c; });
    connect(m_gradientFrom, &CColorButton::ColorChanged, this, [this](RgbColor c) { m_style->gradientFrom = c; });
    connect(m_gradientTo, &CColorButton::ColorChanged, this, [this](RgbColor c) { m_style->gradientTo = c; });
    connect(m_transparent, &QCheckBox::toggled, this, [this](bool on) {
        m_style->transparent = on;
        UpdateEnabled();
    });
    connect(m_gradient, &QCheckBox::toggled, this, [this](bool on) {
        m_style->gradient = on;
        UpdateEnabled();
    });
    connect(m_showPattern, &QCheckBox::toggled, this, [this](bool on) { m_style->showPattern = on; });
    UpdateEnabled();
}

void CRenderStylePane::UpdateEnabled()
{
    m_background->setEnabled(!m_style->transparent);
    // A gradient takes the place of the line colour.
    m_lineColor->setEnabled(!m_style->gradient);
    m_gradientFrom->setEnabled(m_style->gradient);
    m_gradientTo->setEnabled(m_style->gradient);
}

CRenderStyle CRenderStylePane::RememberedStyle()
{
    QSettings settings{QString::fromLatin1(CRecentFileList::kOrganization),
                       QString::fromLatin1(CRecentFileList::kApplication)};
    settings.beginGroup(QString::fromLatin1(kGroup));
    CRenderStyle style;
    bool ok = false;
    const double width = settings.value(QStringLiteral("LineWidth")).toDouble(&ok);
    if (ok && std::isfinite(width))
        style.lineWidth = std::clamp(static_cast<float>(width), RENDER_MIN_LINE_WIDTH, RENDER_MAX_LINE_WIDTH);
    style.lineColor = ReadColor(settings, "LineColor", style.lineColor);
    style.fillColor = ReadColor(settings, "FillColor", style.fillColor);
    style.background = ReadColor(settings, "Background", style.background);
    style.transparent = settings.value(QStringLiteral("Transparent"), style.transparent).toBool();
    style.gradient = settings.value(QStringLiteral("Gradient"), style.gradient).toBool();
    style.gradientFrom = ReadColor(settings, "GradientFrom", style.gradientFrom);
    style.gradientTo = ReadColor(settings, "GradientTo", style.gradientTo);
    style.showPattern = settings.value(QStringLiteral("ShowPattern"), style.showPattern).toBool();
    return style;
}

void CRenderStylePane::RememberStyle(const CRenderStyle& style)
{
    QSettings settings{QString::fromLatin1(CRecentFileList::kOrganization),
                       QString::fromLatin1(CRecentFileList::kApplication)};
    settings.beginGroup(QString::fromLatin1(kGroup));
    auto color = [](RgbColor c) { return QString::fromStdString(FormatColor(c)); };
    settings.setValue(QStringLiteral("LineWidth"), static_cast<double>(style.lineWidth));
    settings.setValue(QStringLiteral("LineColor"), color(style.lineColor));
    settings.setValue(QStringLiteral("FillColor"), color(style.fillColor));
    settings.setValue(QStringLiteral("Background"), color(style.background));
    settings.setValue(QStringLiteral("Transparent"), style.transparent);
    settings.setValue(QStringLiteral("Gradient"), style.gradient);
    settings.setValue(QStringLiteral("GradientFrom"), color(style.gradientFrom));
    settings.setValue(QStringLiteral("GradientTo"), color(style.gradientTo));
    settings.setValue(QStringLiteral("ShowPattern"), style.showPattern);
}
