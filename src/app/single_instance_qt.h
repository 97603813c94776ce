// One editor per user: the first start listens on a per-user local socket; a later start
// with a file hands the file's path to it and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket of the user's graphical session: in the user's runtime folder when there is
    // one, else a name carrying the user id in the temporary folder; either way the name
    // carries the session's display (DisplayKey), so that a start on another display never
    // hands its file to a window elsewhere. Empty without a display.
    static QString DefaultServerName();

    // The display a window of this process would open on, as a file name part: the Wayland
    // and X11 display names from WAYLAND_DISPLAY and DISPLAY, or the Qt platform named in
    // QT_QPA_PLATFORM when it needs neither (offscreen, for example). Empty when there is none.
    static QString DisplayKey();

    // Sends `path` to the editor listening on `serverName` and waits for its answer. True
    // when that editor took the file; false when none runs or it did not answer in time.
    static bool HandOff(const QString& serverName, const QString& path, int timeoutMs = 3000);

    // Starts listening; a socket left behind by an editor that ended abnormally is replaced.
    bool Listen(const QString& serverName);
    QString ServerName() const;

    // Longest message taken from a later start; anything longer is refused.
    static constexpr int kMaxMessage = 64 * 1024;

signals:
    // A later start handed over this file.
    void fileReceived(const QString& path);

private:
    void OnNewConnection();

    QLocalServer* m_server = nullptr;
};
