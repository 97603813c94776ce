#include "interaction/grid_settings_dlg_qt.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "platform/text_format.h"

namespace {

bool ReadSpacing(const QString& text, float& spacing)
{
    const std::string s = text.trimmed().toStdString();
    CScanner scanner(s);
    float v = 0.0f;
    if (!scanner.ScanFloat(v))
        return false;
    scanner.SkipSpace();
    if (!scanner.Rest().empty() || !IsValidGridSpacing(v))
        return false;
    spacing = v;
    return true;
}

}  // namespace

CGridSettingsDlg::CGridSettingsDlg(const GridSettings& settings, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GridSettingsDialog"));
    setWindowTitle(QStringLiteral("Grid Settings"));
    auto* form = new QFormLayout(this);
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("gridKind"));
    m_kind->addItems({QStringLiteral("Square"), QStringLiteral("Triangular (60 degrees)")});
    m_kind->setCurrentIndex(settings.kind == GridKind::Triangular ? 1 : 0);
    form->addRow(QStringLiteral("&Lattice:"), m_kind);
    m_spacing = new QLineEdit(this);
    m_spacing->setObjectName(QStringLiteral("gridSpacing"));
    m_spacing->setText(QString::fromStdString(FormatFixed(settings.spacing, 3)));
    m_spacing->setToolTip(QStringLiteral("Distance between neighbouring lattice points, in pattern units"));
    form->addRow(QStringLiteral("&Spacing (pattern units):"), m_spacing);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_spacing, &QLineEdit::textChanged, this, &CGridSettingsDlg::Validate);
    Validate();
}

void CGridSettingsDlg::Validate()
{
    float spacing = 0.0f;
    m_ok->setEnabled(ReadSpacing(m_spacing->text(), spacing));
}

GridSettings CGridSettingsDlg::Settings() const
{
    GridSettings settings;
    settings.kind = m_kind->currentIndex() == 1 ? GridKind::Triangular : GridKind::Square;
    float spacing = settings.spacing;
    if (ReadSpacing(m_spacing->text(), spacing))
        settings.spacing = spacing;
    return settings;
}
