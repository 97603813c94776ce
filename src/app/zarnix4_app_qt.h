// The application: one document, one main frame and one view for the whole run, reused by
// New and Open; the document commands (New, Open, Save, Save As, the recent files), the
// About box, and the editor's start (RunEditor) with the hand-off to a running window.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>

class CMainFrame;
class CRecentFileList;
class CSingleInstance;
class CZarnix4Doc;
enum class LoadFailure;
class CZarnix4View;

// Registers the program's images and desktop files (res/zarnix4.qrc), which live in a
// static library and so are not registered by themselves. Safe to call more than once.
void InitZarnixResources();

// Starts the editor with `file` open (a new document when empty); the process's exit status.
int RunEditor(int argc, char** argv, const std::string& file);

class CZarnix4App : public QObject {
    Q_OBJECT
public:
    CZarnix4App();
    ~CZarnix4App() override;

    // Creates the document, the frame and the view, opens `file` (or makes a new document)
    // and, when `show` is set, shows the window. False when the file cannot be opened: the
    // error has been shown and the program is to end.
    bool InitInstance(const QString& file, bool show = true);

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CZarnix4View* View() const;
    CZarnix4Doc* Document() const { return m_document.get(); }
    // The document's file; empty for an untitled document.
    QString PathName() const { return m_pathName; }
    // "Untitled[*] - Zarnix 4" or "name.zarnix[*] - Zarnix 4": the window shows "*" in place
    // of "[*]" while the document is modified.
    QString Caption() const;
    // The pattern differs from what was last opened or saved.
    bool IsModified() const;
    // Before the document is replaced or the program ends: a modified document asks "Save
    // changes to NAME?" with Save, Discard and Cancel. Save saves (Save As for an untitled
    // document). True when the caller may go on: nothing to ask, saved, or discarded.
    bool SaveModified();
    QStringList RecentFiles() const;

    // The commands that belong to the application and the document; true when handled.
    bool OnCommand(uint32_t commandId);

    bool OnFileNew();
    void OnFileOpen();
    // Opens a document through the same road as every Open (menu, recent file, dropped and
    // handed-over files): asks to save a modified document first, then reads the file; shows
    // the error and leaves the open document as it was when the file cannot be read. False
    // when the file was not opened (cancelled or unreadable).
    bool OpenDocumentFile(const QString& path);
    // File > Examples: opens `path` as a new, untitled document (asking to save a modified one
    // first), so that saving never overwrites the shipped example. False when not opened.
    bool OpenExample(const QString& path);
    bool OnFileSave();
    bool OnFileSaveAs();
    // Writes the document to `path` (".zarnix" appended when it has no extension).
    bool DoSave(const QString& path);
    void OnOpenRecentFile(int index);
    void OnAppAbout();

    // Listens for files handed over by later starts of the program.
    bool StartSingleInstanceServer(const QString& serverName);
    // Opens a file handed over by a later start, once no dialog or menu is open: a document
    // must not change under the Set Coordinate dialog or an export in progress.
    void OpenWhenIdle(const QString& path);

private:
    enum class OpenResult { Opened, Cancelled, Failed };
    OpenResult Open(const QString& path);
    void ShowError(const QString& action, const QString& path, const QString& reason);
    void ShowLoadError(const QString& action, const QString& path, LoadFailure failure, const QString& reason);
    void SetPathName(const QString& path, bool addToRecent);
    void UpdateCaption();
    void ShowNewDocument(const QString& path, bool addToRecent);

    std::unique_ptr<CZarnix4Doc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CRecentFileList> m_recentFiles;
    std::unique_ptr<CSingleInstance> m_singleInstance;
    QString m_pathName;
};
