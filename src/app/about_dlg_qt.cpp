#include "app/about_dlg_qt.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/zarnix4_app_qt.h"

const char* const CAboutDlg::kVersionText = "Zarnix Version 4.0";
const char* const CAboutDlg::kNoticeText = "1998-2024 the Zarnix 4 authors. Freeware.\n"
                                           "Home: the project's repository, see README.md";
const char* const CAboutDlg::kMouseText = "Mouse:\nLeft button\t- move points / change knee direction\n"
                                          "  +Ctrl\t\t- add / remove point\n  +Shift\t\t- hide / unhide knee\n"
                                          "Wheel\t\t- scale view\nMiddle\t\t- move view";
const char* const CAboutDlg::kIterationBarText = "Iteration Bar:\nDetail: 2\t\t- ignore lines less than 2 px\n"
                                                 "Draw Limit\t- milliseconds to draw or\n"
                                                 "\t\t- line segments limit in fill mode";

namespace {

// Lays out a text of tab-separated lines in two columns, the way tab stops align it: the
// part before the first tab on the left, the rest on the right.
QGridLayout* TabbedText(const QString& text)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(0);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int row = 0; row < lines.size(); ++row) {
        const QString& line = lines[row];
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab < 0) {
            grid->addWidget(new QLabel(line), row, 0, 1, 2);
            continue;
        }
        QString right = line.mid(tab);
        while (right.startsWith(QLatin1Char('\t')))
            right.remove(0, 1);
        grid->addWidget(new QLabel(line.left(tab)), row, 0);
        grid->addWidget(new QLabel(right), row, 1);
    }
    grid->setColumnStretch(1, 1);
    return grid;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    InitZarnixResources();
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About Zarnix4"));
    setModal(true);

    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/icons/zarnix4.png")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* version = new QLabel(QString::fromLatin1(kVersionText));
    version->setObjectName(QStringLiteral("VersionText"));
    version->setTextFormat(Qt::PlainText);
    auto* notice = new QLabel(QString::fromLatin1(kNoticeText));
    notice->setTextFormat(Qt::PlainText);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addSpacing(6);
    texts->addWidget(notice);
    auto* okColumn = new QVBoxLayout;
    okColumn->addWidget(ok);
    okColumn->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(8);
    top->addLayout(texts, 1);
    top->addLayout(okColumn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(10);
    layout->addLayout(TabbedText(QString::fromLatin1(kMouseText)));
    layout->addSpacing(10);
    layout->addLayout(TabbedText(QString::fromLatin1(kIterationBarText)));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
