#include "app/mouse_keys_dlg_qt.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

QList<QPair<QString, QString>> CMouseKeysDlg::Gestures()
{
    return {
        {QStringLiteral("Left drag on a point"), QStringLiteral("Moves the point (snapped to the grid when Snap to Grid is on)")},
        {QStringLiteral("Alt + left drag on a point"), QStringLiteral("Moves the point without snapping")},
        {QStringLiteral("Click on a knee"), QStringLiteral("Steps the segment's copy: forward, reversed, mirrored, both")},
        {QStringLiteral("Shift + click on a knee"), QStringLiteral("Hides or shows the segment's copy")},
        {QStringLiteral("Ctrl + click on a point"), QStringLiteral("Removes the point")},
        {QStringLiteral("Ctrl + click elsewhere"), QStringLiteral("Adds a point to the nearest segment, or before the first or after the last point")},
        {QStringLiteral("Right click"), QStringLiteral("Opens the menu of the point, knee or empty space under the pointer")},
        {QStringLiteral("Middle drag"), QStringLiteral("Moves the view (pan)")},
        {QStringLiteral("Shift + middle click"), QStringLiteral("Restores the default view")},
        {QStringLiteral("Mouse wheel"), QStringLiteral("Zooms in or out about the pointer")},
        {QStringLiteral("Ctrl (held)"), QStringLiteral("Shows whether a click adds or removes a point")},
    };
}

CMouseKeysDlg::CMouseKeysDlg(const QList<QPair<QString, QString>>& shortcuts, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MouseKeysDialog"));
    setWindowTitle(QStringLiteral("Mouse and Keys"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("A point is a corner of the pattern; a knee is the handle in the middle of "
                                            "a segment, whose flags place the copy that replaces the segment."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    const QList<QPair<QString, QString>> gestures = Gestures();
    m_table = new QTableWidget(static_cast<int>(gestures.size() + shortcuts.size()) + 2, 2, this);
    m_table->setObjectName(QStringLiteral("MouseKeysTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Mouse or key"), QStringLiteral("What it does")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setWordWrap(true);
    int row = 0;
    auto heading = [&](const QString& text) {
        auto* item = new QTableWidgetItem(text);
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
        m_table->setItem(row, 0, item);
        m_table->setSpan(row, 0, 1, 2);
        ++row;
    };
    auto add = [&](const QPair<QString, QString>& entry) {
        m_table->setItem(row, 0, new QTableWidgetItem(entry.first));
        m_table->setItem(row, 1, new QTableWidgetItem(entry.second));
        ++row;
    };
    heading(QStringLiteral("On the picture"));
    for (const auto& entry : gestures)
        add(entry);
    heading(QStringLiteral("Keys"));
    for (const auto& entry : shortcuts)
        add(entry);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeRowsToContents();
    layout->addWidget(m_table, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 560);
}

QStringList CMouseKeysDlg::Rows() const
{
    QStringList rows;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const QTableWidgetItem* keys = m_table->item(r, 0);
        const QTableWidgetItem* what = m_table->item(r, 1);
        if (keys != nullptr && what != nullptr)
            rows << keys->text() + QLatin1Char('\t') + what->text();
    }
    return rows;
}
