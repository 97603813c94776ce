#include "document/zarnix4_doc.h"

#include "platform/archive.h"
#include "platform/file.h"
#include "view/fractal_renderer.h"

bool CZarnix4Doc::OnNewDocument()
{
    m_pattern.NewPattern();
    return true;
}

void CZarnix4Doc::Serialize(CArchive& ar, CFractalRenderer* view)
{
    m_pattern.Serialize(ar);
    if (view && !ar.HasError())
        view->Serialize(ar);
}

namespace {

// What loading may change, so that a failed load can put it all back.
struct LoadSnapshot {
    CPattern pattern;
    CDrawSettings settings;
    uint8_t loaded = 0;

    void Take(const CPattern& p, const CFractalRenderer* view)
    {
        pattern = p;
        if (view) {
            settings = view->DrawSettings();
            loaded = view->m_bLoadedFromFile;
        }
    }
    void Restore(CPattern& p, CFractalRenderer* view) const
    {
        p = pattern;
        if (view) {
            view->SetDrawSettings(settings);
            view->m_bLoadedFromFile = loaded;
        }
    }
};

}  // namespace

std::string LoadErrorText(const std::string& name, LoadFailure failure, const std::string& detail)
{
    if (failure == LoadFailure::NotADocument)
        return "'" + name + "' is not a Zarnix document (" + detail + ")";
    return "cannot read '" + name + "': " + detail;
}

bool CZarnix4Doc::Load(const std::string& path, CFractalRenderer* view, std::string& error, LoadFailure* failure)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        if (failure != nullptr)
            *failure = LoadFailure::Unreadable;
        return false;
    }
    LoadSnapshot snapshot;
    snapshot.Take(m_pattern, view);
    CArchive ar(CArchive::load, std::move(bytes));
    Serialize(ar, view);
    if (ar.HasError()) {
        snapshot.Restore(m_pattern, view);
        error = ar.Error();
        if (failure != nullptr)
            *failure = LoadFailure::NotADocument;
        return false;
    }
    return true;
}

bool CZarnix4Doc::Save(const std::string& path, CFractalRenderer* view, std::string& error)
{
    CArchive ar(CArchive::store);
    Serialize(ar, view);
    return WriteFileAtomically(path, ar.Bytes(), error);
}
