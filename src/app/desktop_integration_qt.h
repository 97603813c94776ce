// The desktop's knowledge of the program for the current user: a launcher entry, the
// ".zarnix" document type with its icon, and the program's icons, written into the user's
// own data folder when missing or out of date. Nothing outside that folder is touched.
#pragma once

#include <QString>
#include <QStringList>

class CDesktopIntegration {
public:
    // `dataHome` is the user's data folder (XDG_DATA_HOME, normally ~/.local/share);
    // `executable` the program the launcher entry starts.
    CDesktopIntegration(QString dataHome, QString executable);

    // The user's data folder as the desktop sees it.
    static QString DefaultDataHome();

    // Writes every file that is missing or differs from what this program would write, and
    // asks the desktop's tools to refresh their caches when something changed. Answers the
    // files written (empty when all were current). Failures to write are skipped silently:
    // the editor works without them.
    QStringList Update(bool refreshCaches = true);

    // The launcher entry's text for the executable.
    QString DesktopEntry() const;
    // An executable path as one argument of a launcher entry's Exec key.
    static QString QuoteExecArgument(const QString& path);

private:
    bool WriteIfChanged(const QString& relativePath, const QByteArray& content);

    QString m_dataHome;
    QString m_executable;
    QStringList m_written;
};
