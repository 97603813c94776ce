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

    // The per-user socket: in the user's runtime folder when there is one, else a name
    // carrying the user id in the temporary folder.
    static QString DefaultServerName();

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
