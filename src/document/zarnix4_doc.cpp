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
    int32_t iterations = 0;
    uint8_t showPattern = 0, showFractal = 0, fill = 0, loaded = 0;
    PointF origin;
    float scale = 1.0f;

    void Take(const CPattern& p, const CFractalRenderer* view)
    {
        pattern = p;
        if (view) {
            iterations = view->m_nIterations;
            showPattern = view->m_bShowPattern;
            showFractal = view->m_bShowFractal;
            fill = view->m_bFill;
            loaded = view->m_bLoadedFromFile;
            origin = view->m_transform.m_origin;
            scale = view->m_transform.m_scale;
        }
    }
    void Restore(CPattern& p, CFractalRenderer* view) const
    {
        p = pattern;
        if (view) {
            view->m_nIterations = iterations;
            view->m_bShowPattern = showPattern;
            view->m_bShowFractal = showFractal;
            view->m_bFill = fill;
            view->m_bLoadedFromFile = loaded;
            view->m_transform.m_origin = origin;
            view->m_transform.m_scale = scale;
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
