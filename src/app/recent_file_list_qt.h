// The recent-file list of the File menu, kept in the per-user settings so that it
// survives restarts.
#pragma once

#include <QString>
#include <QStringList>

class CRecentFileList {
public:
    // Reads the list from the settings; at most `size` entries are kept.
    explicit CRecentFileList(int size);

    QStringList Paths() const { return m_paths; }
    int Size() const { return m_size; }
    // Puts `path` first (moving it up if it is already listed) and writes the list back.
    void Add(const QString& path);
    void Remove(int index);

    // The settings store: organisation and application names.
    static constexpr const char* kOrganization = "Local AppWizard-Generated Applications";
    static constexpr const char* kApplication = "Zarnix4";

private:
    void Write() const;

    int m_size;
    QStringList m_paths;
};
