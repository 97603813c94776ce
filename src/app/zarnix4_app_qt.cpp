#include "app/zarnix4_app_qt.h"

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include "app/about_dlg_qt.h"
#include "app/desktop_integration_qt.h"
#include "app/main_frame_qt.h"
#include "app/recent_file_list_qt.h"
#include "app/single_instance_qt.h"
#include "document/zarnix4_doc.h"
#include "view/zarnix4_view_qt.h"

namespace {
const char* const kAppTitle = "Zarnix 4";
const char* const kFilter = "Zarnix Files (*.zarnix)";
const char* const kExtension = "zarnix";
}  // namespace

void InitZarnixResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(zarnix4);
        return true;
    }();
    (void)registered;
}

CZarnix4App::CZarnix4App()
{
    InitZarnixResources();
}

CZarnix4App::~CZarnix4App()
{
    // The frame holds the view, which refers to the document: the frame goes first.
    m_frame.reset();
    m_document.reset();
}

CZarnix4View* CZarnix4App::View() const
{
    return m_frame ? m_frame->View() : nullptr;
}

bool CZarnix4App::InitInstance(const QString& file, bool show)
{
    m_recentFiles = std::make_unique<CRecentFileList>(RECENT_FILE_COUNT);
    m_document = std::make_unique<CZarnix4Doc>();
    m_frame = std::make_unique<CMainFrame>(this);
    m_frame->View()->SetDocument(m_document.get());
    m_frame->SetRecentFiles(m_recentFiles->Paths());
    connect(&m_frame->View()->History(), &CEditHistory::modifiedChanged, this, [this]() { UpdateCaption(); });

    const bool opened = file.isEmpty() ? OnFileNew() : OpenDocumentFile(file);
    if (!opened)
        return false;
    if (show) {
        m_frame->show();
        m_frame->View()->setFocus();
    }
    return true;
}

QString CZarnix4App::Caption() const
{
    const QString name = m_pathName.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_pathName).fileName();
    // A "[*]" in the file name itself must not be taken for the placeholder.
    QString shown = name;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return QStringLiteral("%1[*] - %2").arg(shown, QLatin1String(kAppTitle));
}

bool CZarnix4App::IsModified() const
{
    CZarnix4View* view = View();
    return view != nullptr && view->History().IsModified();
}

bool CZarnix4App::SaveModified()
{
    if (!IsModified())
        return true;
    const QString name = m_pathName.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_pathName).fileName();
    QMessageBox box(QMessageBox::Warning, QLatin1String(kAppTitle), QStringLiteral("Save changes to %1?").arg(name),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_frame.get());
    box.setObjectName(QStringLiteral("SaveChangesBox"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return OnFileSave();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

QStringList CZarnix4App::RecentFiles() const
{
    return m_recentFiles ? m_recentFiles->Paths() : QStringList();
}

void CZarnix4App::UpdateCaption()
{
    if (m_frame) {
        m_frame->setWindowTitle(Caption());
        m_frame->setWindowModified(IsModified());
    }
}

void CZarnix4App::SetPathName(const QString& path, bool addToRecent)
{
    m_pathName = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    if (addToRecent && !m_pathName.isEmpty() && m_recentFiles) {
        m_recentFiles->Add(m_pathName);
        if (m_frame)
            m_frame->SetRecentFiles(m_recentFiles->Paths());
    }
    UpdateCaption();
}

bool CZarnix4App::OnCommand(uint32_t commandId)
{
    if (commandId >= ID_FILE_MRU_FILE1 && commandId < ID_FILE_MRU_FILE1 + RECENT_FILE_COUNT) {
        OnOpenRecentFile(static_cast<int>(commandId - ID_FILE_MRU_FILE1));
        return true;
    }
    switch (commandId) {
    case ID_FILE_NEW:
        if (SaveModified())
            OnFileNew();
        return true;
    case ID_FILE_OPEN: OnFileOpen(); return true;
    case ID_FILE_SAVE: OnFileSave(); return true;
    case ID_FILE_SAVE_AS: OnFileSaveAs(); return true;
    case ID_APP_ABOUT: OnAppAbout(); return true;
    case ID_APP_EXIT:
        // Closing the window asks about unsaved changes (CMainFrame::closeEvent).
        if (m_frame)
            m_frame->close();
        return true;
    default:
        return false;
    }
}

// The window shows a document just created or read: its name, a fresh edit history and the
// view set up anew.
void CZarnix4App::ShowNewDocument(const QString& path, bool addToRecent)
{
    SetPathName(path, addToRecent);
    if (CZarnix4View* view = View()) {
        view->History().Clear();
        view->OnInitialUpdate();
    }
    UpdateCaption();
}

bool CZarnix4App::OnFileNew()
{
    if (!m_document->OnNewDocument())
        return false;
    ShowNewDocument(QString(), false);
    return true;
}

void CZarnix4App::OnFileOpen()
{
    QFileDialog dialog(m_frame.get(), QStringLiteral("Open"));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QLatin1String(kFilter), QStringLiteral("All Files (*)")});
    if (!m_pathName.isEmpty())
        dialog.setDirectory(QFileInfo(m_pathName).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    OpenDocumentFile(dialog.selectedFiles().first());
}

bool CZarnix4App::OpenDocumentFile(const QString& path)
{
    return Open(path) == OpenResult::Opened;
}

CZarnix4App::OpenResult CZarnix4App::Open(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (m_frame) {
        m_frame->raise();
        m_frame->activateWindow();
    }
    // The document that is already open is not read again: opening it only brings its
    // window forward, with its edits.
    if (!m_pathName.isEmpty() && absolute == m_pathName)
        return OpenResult::Opened;
    if (!SaveModified())
        return OpenResult::Cancelled;
    std::string error;
    LoadFailure failure{};
    if (!m_document->Load(absolute.toStdString(), View(), error, &failure)) {
        ShowLoadError(QStringLiteral("Cannot open the document"), absolute, failure, QString::fromStdString(error));
        return OpenResult::Failed;
    }
    ShowNewDocument(absolute, true);
    return OpenResult::Opened;
}

bool CZarnix4App::OpenExample(const QString& path)
{
    if (!SaveModified())
        return false;
    std::string error;
    if (!m_document->Load(path.toStdString(), View(), error)) {
        ShowError(QStringLiteral("Cannot open the example"), path, QString::fromStdString(error));
        return false;
    }
    ShowNewDocument(QString(), false);
    return true;
}

bool CZarnix4App::OnFileSave()
{
    if (m_pathName.isEmpty())
        return OnFileSaveAs();
    return DoSave(m_pathName);
}

bool CZarnix4App::OnFileSaveAs()
{
    QFileDialog dialog(m_frame.get(), QStringLiteral("Save As"));
    dialog.setObjectName(QStringLiteral("SaveAsDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QLatin1String(kFilter));
    dialog.setDefaultSuffix(QLatin1String(kExtension));
    if (!m_pathName.isEmpty()) {
        dialog.setDirectory(QFileInfo(m_pathName).absolutePath());
        dialog.selectFile(QFileInfo(m_pathName).fileName());
    } else {
        dialog.selectFile(QStringLiteral("Untitled.zarnix"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    return DoSave(dialog.selectedFiles().first());
}

bool CZarnix4App::DoSave(const QString& path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    if (QFileInfo(target).suffix().isEmpty())
        target += QLatin1Char('.') + QLatin1String(kExtension);
    std::string error;
    if (!m_document->Save(target.toStdString(), View(), error)) {
        ShowError(QStringLiteral("Cannot save the document"), target, QString::fromStdString(error));
        return false;
    }
    if (CZarnix4View* view = View())
        view->History().SetClean();
    SetPathName(target, true);
    return true;
}

void CZarnix4App::OnOpenRecentFile(int index)
{
    const QStringList paths = RecentFiles();
    if (index < 0 || index >= paths.size())
        return;
    // An entry that cannot be opened any more leaves the list; a cancelled question keeps it.
    if (Open(paths[index]) == OpenResult::Failed) {
        m_recentFiles->Remove(index);
        m_frame->SetRecentFiles(m_recentFiles->Paths());
    }
}

void CZarnix4App::OnAppAbout()
{
    CAboutDlg dialog(m_frame.get());
    dialog.exec();
}

void CZarnix4App::ShowLoadError(const QString& action, const QString& path, LoadFailure failure, const QString& reason)
{
    if (failure != LoadFailure::NotADocument) {
        ShowError(action, path, reason);
        return;
    }
    // Plain words first; the full name and the technical detail after them.
    ShowError(QStringLiteral("'%1' is not a Zarnix document.").arg(QFileInfo(path).fileName()), path, reason);
}

void CZarnix4App::ShowError(const QString& action, const QString& path, const QString& reason)
{
    QString text = QStringLiteral("%1\n%2").arg(action, path);
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    // At start the window is not up yet; the box then stands alone.
    QWidget* parent = m_frame && m_frame->isVisible() ? m_frame.get() : nullptr;
    QMessageBox box(QMessageBox::Warning, QLatin1String(kAppTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

bool CZarnix4App::StartSingleInstanceServer(const QString& serverName)
{
    m_singleInstance = std::make_unique<CSingleInstance>();
    connect(m_singleInstance.get(), &CSingleInstance::fileReceived, this,
            [this](const QString& path) { OpenWhenIdle(path); });
    return m_singleInstance->Listen(serverName);
}

void CZarnix4App::OpenWhenIdle(const QString& path)
{
    if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr) {
        QTimer::singleShot(200, this, [this, path]() { OpenWhenIdle(path); });
        return;
    }
    OpenDocumentFile(path);
}

int RunEditor(int argc, char** argv, const std::string& file)
{
    // A later start with a file gives it to the editor that already runs, and ends.
    QString path = QString::fromLocal8Bit(file.c_str());
    // Without a display there is no window to open, and none of this session to hand to.
    const QString serverName = CSingleInstance::DefaultServerName();
    if (serverName.isEmpty()) {
        std::fputs("zarnix4: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set);\n"
                   "use --export or --save-as to work without one\n",
                   stderr);
        return 1;
    }
    if (!path.isEmpty()) {
        path = QFileInfo(path).absoluteFilePath();
        if (CSingleInstance::HandOff(serverName, path))
            return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zarnix4"));
    QApplication::setApplicationVersion(QStringLiteral("4.0.0.1"));
    QApplication::setDesktopFileName(QStringLiteral("zarnix4"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zarnix4.png")));

    CDesktopIntegration(CDesktopIntegration::DefaultDataHome(), QApplication::applicationFilePath()).Update();

    CZarnix4App app;
    if (!app.InitInstance(path))
        return 1;
    app.StartSingleInstanceServer(serverName);
    return application.exec();
}
