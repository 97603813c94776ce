// The pointer editor's window resources: its five cursors, its context menu with the
// "Space", "Point" and "Knee" pop-ups, and the Set Coordinate dialog.
#pragma once

#include <QCursor>
#include <QDialog>
#include <QMenu>

#include <array>
#include <cstdint>

class QLineEdit;
class CPattern;

// The cursors in the order of the editor's cursor index: system arrow, arrow with a plus,
// arrow with a minus, four-way move, two opposed half-arrows.
std::array<QCursor, 5> MakeEditorCursors();

// The context menu: one pop-up per hit kind (0 "Space", 1 "Point", 2 "Knee"). Every item
// carries its command id as the action's data (an unsigned number).
class CEditorContextMenu {
public:
    CEditorContextMenu();
    ~CEditorContextMenu();
    CEditorContextMenu(const CEditorContextMenu&) = delete;
    CEditorContextMenu& operator=(const CEditorContextMenu&) = delete;

    QMenu* SubMenu(uint8_t index) const;
    // Sets the check marks of the Knee pop-up from a knee's flags.
    void SetKneeChecks(uint8_t kneeFlags);
    // The action of a command id in a pop-up, or null.
    QAction* Action(uint8_t subMenu, uint32_t commandId) const;

private:
    QMenu m_root;
    std::array<QMenu*, 3> m_subMenus{};
};

// Sets point `index` of a pattern to typed coordinates. Opens with the point's x and y in
// "%f", the focus in the x field; OK sets the point; the close box or Escape cancel.
class CSetCoordinateDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetCoordinateDlg(QWidget* parent = nullptr);

    void SetTarget(CPattern* pattern, int index);
    QLineEdit* XEdit() const { return m_x; }
    QLineEdit* YEdit() const { return m_y; }
    // The point as a length and an angle in degrees from the point before it (disabled for
    // point 0). Typing in either pair updates the other; OK applies the pair typed last.
    QLineEdit* LengthEdit() const { return m_length; }
    QLineEdit* AngleEdit() const { return m_angle; }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CPattern* m_pPattern = nullptr;
    int m_nIndex = 0;
    // Shows the other pair of fields for the point the typed pair gives.
    void SyncPolarFromXY();
    void SyncXYFromPolar();

    QLineEdit* m_x;
    QLineEdit* m_y;
    QLineEdit* m_length;
    QLineEdit* m_angle;
    bool m_bPolarTyped = false;
};
