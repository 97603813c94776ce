#include "export/file_export_dlg_qt.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QRegularExpressionValidator>

#include <limits>

#include "document/pattern.h"
#include "export/export_estimate.h"
#include "export/export_sequence.h"
#include "export/render_style_pane_qt.h"
#include "platform/text_format.h"
#include "platform/win_types.h"
#include "view/fractal_renderer.h"

namespace {

const QString kBitmapFilter = QStringLiteral("Bitmap (*.bmp)");
const QString kIllustratorFilter = QStringLiteral("Adobe Illustrator (*.ai)");
const QString kPngFilter = QStringLiteral("PNG image (*.png)");
const QString kSvgFilter = QStringLiteral("SVG drawing (*.svg)");

// Reads an edit as a signed number; empty text reads as 0. The edits take at most ten digits,
// so the value always fits 64 bits; beyond 32 bits it is clamped.
int32_t ReadEdit(const QLineEdit* edit)
{
    bool ok = false;
    qlonglong v = edit->text().toLongLong(&ok);
    if (!ok)
        return 0;
    return v > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(v);
}

QString Number(int64_t v)
{
    return QString::fromStdString(FormatInt(v));
}

}  // namespace

QString LinesText(int32_t segments, int32_t iterations)
{
    bool saturated = false;
    uint64_t lines = LineCount(segments, iterations, &saturated);
    if (saturated)
        return QStringLiteral("more than 18446744073709551615");
    return QString::number(lines);
}

CFileExportDlg::CFileExportDlg(QWidget* parent, ExportSettings* settings)
    : QFileDialog(parent), m_pSettings(settings)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters({kBitmapFilter, kIllustratorFilter, kPngFilter, kSvgFilter});
    selectNameFilter(kBitmapFilter);
    setWindowTitle(QStringLiteral("Export"));
    OnInitDialog();
    connect(this, &QFileDialog::filterSelected, this, [this] { OnTypeChange(); });
}

void CFileExportDlg::OnInitDialog()
{
    // The pane sits below the dialog's own controls, across its whole width.
    m_pane = new QWidget(this);
    m_pane->setObjectName(QStringLiteral("exportOptionsPane"));
    auto* grid = new QGridLayout(m_pane);
    grid->setContentsMargins(0, 0, 0, 0);
    auto makeEdit = [this](const char* name) {
        auto* edit = new QLineEdit(m_pane);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setMaxLength(10);
        edit->installEventFilter(this);
        return edit;
    };
    m_width = makeEdit("exportWidth");
    m_height = makeEdit("exportHeight");
    m_iterations = makeEdit("exportIterations");
    m_lines = new QLabel(QStringLiteral("##"), m_pane);
    m_lines->setObjectName(QStringLiteral("exportLines"));
    grid->addWidget(new QLabel(QStringLiteral("Width:"), m_pane), 0, 0);
    grid->addWidget(m_width, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Height:"), m_pane), 1, 0);
    grid->addWidget(m_height, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Iterations:"), m_pane), 0, 3);
    grid->addWidget(m_iterations, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("Lines:"), m_pane), 1, 3);
    grid->addWidget(m_lines, 1, 4);
    m_size = new QLabel(m_pane);
    m_size->setObjectName(QStringLiteral("exportSize"));
    grid->addWidget(m_size, 1, 5);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(6, 1);
    if (m_pSettings) {
        m_stylePane = new CRenderStylePane(m_pane, &m_pSettings->style);
        grid->addWidget(m_stylePane, 2, 0, 1, 7);
        m_stylePane->setVisible(false);  // the dialog opens with the Bitmap type
    }
    if (auto* outer = qobject_cast<QGridLayout*>(layout()))
        outer->addWidget(m_pane, outer->rowCount(), 0, 1, outer->columnCount());
    else if (layout())
        layout()->addWidget(m_pane);

    m_dAspect = 0.0;
    if (!m_pSettings) {
        m_width->setText(QString());
        m_height->setText(QString());
        m_iterations->setText(QString());
        m_lines->setText(QString());
        return;
    }
    m_width->setText(Number(m_pSettings->width));
    m_height->setText(Number(m_pSettings->height));
    m_iterations->setText(Number(m_pSettings->iterations));
    m_dAspect = ExportAspect(m_pSettings->width, m_pSettings->height);
    ShowLines();
}

int CFileExportDlg::TypeIndex() const
{
    const QString filter = selectedNameFilter();
    if (filter == kIllustratorFilter)
        return EXPORT_TYPE_ILLUSTRATOR;
    if (filter == kPngFilter)
        return EXPORT_TYPE_PNG;
    if (filter == kSvgFilter)
        return EXPORT_TYPE_SVG;
    return EXPORT_TYPE_BITMAP;
}

QString CFileExportDlg::ChosenFile() const
{
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void CFileExportDlg::OnTypeChange()
{
    // The size is the picture's for the bitmap and PNG, and the SVG's size in pixels, which
    // line widths are measured in; an Illustrator file has no pixels.
    const int type = TypeIndex();
    const bool sized = type != EXPORT_TYPE_ILLUSTRATOR;
    m_width->setEnabled(sized);
    m_height->setEnabled(sized);
    if (m_stylePane)
        m_stylePane->setVisible(type == EXPORT_TYPE_PNG || type == EXPORT_TYPE_SVG);
    ShowLines();
}

void CFileExportDlg::SetSizeEstimate(std::function<double(int, const ExportSettings&)> estimate)
{
    m_estimate = std::move(estimate);
    ShowLines();
}

void CFileExportDlg::ShowLines()
{
    if (!m_pSettings)
        return;
    m_lines->setText(LinesText(m_pSettings->segmentCount, m_pSettings->iterations));
    if (m_estimate)
        m_size->setText(QStringLiteral("about ") +
                        QString::fromStdString(FormatByteSize(m_estimate(TypeIndex(), *m_pSettings))));
}

int CFileExportDlg::ControlId(QObject* edit) const
{
    if (edit == m_width)
        return IDC_EXPORT_WIDTH;
    if (edit == m_height)
        return IDC_EXPORT_HEIGHT;
    if (edit == m_iterations)
        return IDC_EXPORT_ITERATIONS;
    return 0;
}

void CFileExportDlg::OnPaneCommand(uint32_t message, uint64_t wParam)
{
    if (message != WM_COMMAND || HIWORD(wParam) != EN_KILLFOCUS || !m_pSettings)
        return;
    switch (LOWORD(wParam)) {
    case IDC_EXPORT_WIDTH:
        m_pSettings->width = ReadEdit(m_width);
        if (m_dAspect != 0.0) {
            m_pSettings->height = CoupledHeight(m_pSettings->width, m_dAspect);
            m_height->setText(Number(m_pSettings->height));
        }
        ShowLines();
        break;
    case IDC_EXPORT_HEIGHT:
        m_pSettings->height = ReadEdit(m_height);
        if (m_dAspect != 0.0) {
            m_pSettings->width = CoupledWidth(m_pSettings->height, m_dAspect);
            m_width->setText(Number(m_pSettings->width));
        }
        ShowLines();
        break;
    case IDC_EXPORT_ITERATIONS:
        m_pSettings->iterations = ReadEdit(m_iterations);
        ShowLines();
        break;
    default:
        break;
    }
}

bool CFileExportDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (int id = ControlId(watched))
            OnPaneCommand(WM_COMMAND, (static_cast<uint64_t>(EN_KILLFOCUS) << 16) | static_cast<uint64_t>(id));
    }
    return QFileDialog::eventFilter(watched, event);
}

void CFileExportDlg::accept()
{
    // Enter pressed in a pane field closes the dialog without the field losing the focus
    // first: take its value as if it had.
    if (int id = ControlId(QApplication::focusWidget()))
        OnPaneCommand(WM_COMMAND, (static_cast<uint64_t>(EN_KILLFOCUS) << 16) | static_cast<uint64_t>(id));

    if (m_pSettings && (m_pSettings->iterations < EXPORT_MIN_ITERATIONS || m_pSettings->iterations > EXPORT_MAX_ITERATIONS)) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Iterations must be a number from %1 to %2.")
                                 .arg(EXPORT_MIN_ITERATIONS)
                                 .arg(EXPORT_MAX_ITERATIONS));
        m_iterations->setFocus();
        m_iterations->selectAll();
        return;
    }

    // The type's extension is added to a name without one; a file of the completed name is
    // not replaced without asking, just as the name typed is not.
    const QString typed = ChosenFile();
    if (!typed.isEmpty()) {
        const QString completed =
            QString::fromStdString(CompleteExportFileName(typed.toStdString(), TypeIndex()));
        if (completed != typed && QFileInfo::exists(completed)) {
            auto answer = QMessageBox::warning(
                this, windowTitle(),
                QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(completed).fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes)
                return;
        }
    }
    QFileDialog::accept();
}

namespace {

// Keeps every input event from the widgets of one window while an export runs, so that nothing
// reaches the document, the view or the bars, whatever the progress dialog's modality lets by
// (events queued before it was shown, events sent to a widget directly). Painting, resizing
// and the progress dialog itself go on.
class CInputSeal : public QObject {
public:
    explicit CInputSeal(QWidget* window) : m_window(window)
    {
        if (m_window != nullptr)
            qApp->installEventFilter(this);
    }
    ~CInputSeal() override
    {
        if (m_window != nullptr)
            qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TabletPress:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            break;
        default:
            return false;
        }
        QObject* target = watched;
        // A shortcut is delivered to its action, which belongs to the window's widgets.
        if (auto* action = qobject_cast<QAction*>(watched))
            target = action->parent();
        auto* widget = qobject_cast<QWidget*>(target);
        return widget != nullptr && widget->window() == m_window;
    }

private:
    QWidget* m_window;
};

// Shows the progress of a long export in a modal dialog that appears after half a second;
// its Cancel button stops the export. The window keeps repainting meanwhile.
class CProgressDialogSink : public CExportProgress {
public:
    explicit CProgressDialogSink(QWidget* parent)
        : m_dialog(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, 1000, parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("Export"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
        // Up at once: from here on, input goes to the dialog and not to the window.
        m_dialog.show();
        m_clock.start();
    }

    bool Continue(double fraction) override
    {
        // Events are handled a few dozen times a second, not at every call.
        if (m_clock.elapsed() - m_lastEvents < 30)
            return !m_dialog.wasCanceled();
        m_lastEvents = m_clock.elapsed();
        int value = static_cast<int>(fraction * 1000.0);
        m_dialog.setValue(value < 0 ? 0 : value > 999 ? 999 : value);
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

    // Takes the progress dialog down, so that a message about the export's end is not hidden
    // behind it.
    void Close() { m_dialog.reset(); m_dialog.hide(); }

private:
    QProgressDialog m_dialog;
    QElapsedTimer m_clock;
    qint64 m_lastEvents = 0;
};

}  // namespace

QString RunExportCommandDialog(QWidget* view, CFractalRenderer& renderer, const CPattern& pattern,
                               const std::function<bool(CFileExportDlg&)>& dialogHook)
{
    ExportSettings settings;
    settings.segmentCount = pattern.m_count;
    settings.width = renderer.m_nWidth;
    settings.height = renderer.m_nHeight;
    settings.iterations = renderer.m_nIterations;
    settings.style = CRenderStylePane::RememberedStyle();

    CFileExportDlg dialog(view, &settings);
    dialog.SetSizeEstimate([&renderer, &pattern](int typeIndex, const ExportSettings& record) {
        return EstimateExportBytes(typeIndex, pattern, record, renderer.m_bShowPattern != 0,
                                   renderer.m_bShowFractal != 0);
    });
    bool accepted = dialogHook ? dialogHook(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return QStringLiteral("Cancel");
    CRenderStylePane::RememberStyle(settings.style);
    const QString file = dialog.ChosenFile();
    if (file.isEmpty())
        return QStringLiteral("Cancel");

    // Sealed from here until the file is written or the export is cancelled.
    CInputSeal seal(view != nullptr ? view->window() : nullptr);
    CProgressDialogSink progress(view);
    std::string error;
    std::string written;
    ExportResult result = RunExport(renderer, pattern, dialog.TypeIndex(), file.toStdString(), settings,
                                    &progress, &error, &written);
    if (result == ExportResult::Failed) {
        progress.Close();
        QMessageBox::warning(view, QStringLiteral("Export"),
                             QStringLiteral("%1 could not be exported:\n%2.")
                                 .arg(QFileInfo(QString::fromStdString(written)).fileName(),
                                      QString::fromStdString(error)));
    }
    return result == ExportResult::Exported ? QStringLiteral("Exported") : QStringLiteral("Cancel");
}
