#include "app/single_instance_qt.h"

#include <QByteArray>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <cctype>

#include <unistd.h>

namespace {
const QByteArray kAnswer = QByteArrayLiteral("OK\n");
}

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::DisplayKey()
{
    // Only letters, digits, dot, dash and underscore reach the file name.
    auto clean = [](const QByteArray& text) {
        QString out;
        for (char c : text)
            out += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') ? QChar(c) : QChar('_');
        return out;
    };
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray x11 = qgetenv("DISPLAY");
    // A platform that needs no display (offscreen, vnc, ...) is a session of its own.
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return clean(platform);
    QStringList parts;
    if (!wayland.isEmpty() && !platform.startsWith("xcb"))
        parts << QStringLiteral("wayland-") + clean(wayland);
    if (!x11.isEmpty() && !platform.startsWith("wayland"))
        parts << QStringLiteral("x11-") + clean(x11);
    return parts.join(QLatin1Char('-'));
}

QString CSingleInstance::DefaultServerName()
{
    const QString display = DisplayKey();
    if (display.isEmpty())
        return QString();
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("zarnix4-%1.socket").arg(display));
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("zarnix4-%1-%2.socket").arg(static_cast<qulonglong>(getuid())).arg(display));
}

bool CSingleInstance::HandOff(const QString& serverName, const QString& path, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message = path.toUtf8();
    if (message.size() >= kMaxMessage || message.contains('\n'))
        return false;
    message.append('\n');
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n')) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
        answer.append(socket.readAll());
        if (answer.size() > 16)
            return false;
    }
    return answer == kAnswer;
}

bool CSingleInstance::Listen(const QString& serverName)
{
    // An editor that answers on that name already runs; listening would take the name from
    // it (a private socket is put in place by renaming, which replaces a live one).
    {
        QLocalSocket probe;
        probe.connectToServer(serverName);
        if (probe.waitForConnected(500)) {
            probe.disconnectFromServer();
            return false;
        }
    }
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    if (m_server->listen(serverName))
        return true;
    // Nobody answered, so what holds the name is a leftover of an editor that did not end
    // cleanly: it is replaced.
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(serverName);
        return m_server->listen(serverName);
    }
    return false;
}

QString CSingleInstance::ServerName() const
{
    return m_server != nullptr ? m_server->fullServerName() : QString();
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its line is dropped after a while.
        QTimer::singleShot(10000, socket, [guard]() {
            if (guard)
                guard->abort();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() {
            if (socket->bytesAvailable() + socket->property("received").toByteArray().size() > kMaxMessage) {
                socket->abort();
                return;
            }
            QByteArray received = socket->property("received").toByteArray() + socket->readAll();
            const qsizetype newline = received.indexOf('\n');
            if (newline < 0) {
                socket->setProperty("received", received);
                return;
            }
            const QString path = QString::fromUtf8(received.left(newline));
            socket->setProperty("received", QByteArray());
            socket->write(kAnswer);
            socket->flush();
            socket->disconnectFromServer();
            // Opened outside this socket's handler: the opening may run a message box.
            if (!path.isEmpty())
                QTimer::singleShot(0, this, [this, path]() { emit fileReceived(path); });
        });
    }
}
