// Help > Mouse and Keys: a window listing every gesture on the picture and every shortcut.
#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QTableWidget;

class CMouseKeysDlg : public QDialog {
    Q_OBJECT
public:
    // `shortcuts`: the window's keys and what they do ("Ctrl+N", "New"), in menu order.
    CMouseKeysDlg(const QList<QPair<QString, QString>>& shortcuts, QWidget* parent = nullptr);

    // Every row as "keys\twhat it does", gestures first.
    QStringList Rows() const;

    // The gestures on the picture: ("Left drag on a point", "Moves the point"), ...
    static QList<QPair<QString, QString>> Gestures();

private:
    QTableWidget* m_table = nullptr;
};
