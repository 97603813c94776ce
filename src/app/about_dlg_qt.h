// The About box: the program's name and version, the author's notice, and short help on
// the mouse and the Iteration Bar.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // The help texts, with "\n" between lines and "\t" before the explanation of a line.
    static const char* const kVersionText;
    static const char* const kNoticeText;
    static const char* const kMouseText;
    static const char* const kIterationBarText;
};
