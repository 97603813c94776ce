#include "app/recent_file_list_qt.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const char* const kSection = "Recent File List";

QString EntryKey(int index)
{
    return QStringLiteral("%1/File%2").arg(QLatin1String(kSection)).arg(index + 1);
}

bool SamePath(const QString& a, const QString& b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}
}  // namespace

CRecentFileList::CRecentFileList(int size) : m_size(size)
{
    QSettings settings{QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication)};
    for (int i = 0; i < m_size; ++i) {
        const QString path = settings.value(EntryKey(i)).toString();
        if (!path.isEmpty() && !m_paths.contains(path))
            m_paths.append(path);
    }
}

void CRecentFileList::Add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < m_paths.size(); ++i) {
        if (SamePath(m_paths[i], absolute)) {
            m_paths.removeAt(i);
            break;
        }
    }
    m_paths.prepend(absolute);
    while (m_paths.size() > m_size)
        m_paths.removeLast();
    Write();
}

void CRecentFileList::Remove(int index)
{
    if (index < 0 || index >= m_paths.size())
        return;
    m_paths.removeAt(index);
    Write();
}

void CRecentFileList::Write() const
{
    QSettings settings{QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication)};
    settings.remove(QLatin1String(kSection));
    for (int i = 0; i < m_paths.size(); ++i)
        settings.setValue(EntryKey(i), m_paths[i]);
    settings.sync();
}
