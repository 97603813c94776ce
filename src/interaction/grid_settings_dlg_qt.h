// View > Grid Settings: the lattice (square or triangular) and its spacing in pattern units.
#pragma once

#include <QDialog>

#include "interaction/grid_lattice.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class CGridSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CGridSettingsDlg(const GridSettings& settings, QWidget* parent = nullptr);

    // The settings as entered; valid once the dialog was accepted (OK is enabled only for a
    // spacing from kGridSpacingMin to kGridSpacingMax).
    GridSettings Settings() const;
    QComboBox* KindBox() const { return m_kind; }
    QLineEdit* SpacingEdit() const { return m_spacing; }
    QPushButton* OkButton() const { return m_ok; }

private:
    void Validate();

    QComboBox* m_kind = nullptr;
    QLineEdit* m_spacing = nullptr;
    QPushButton* m_ok = nullptr;
};
