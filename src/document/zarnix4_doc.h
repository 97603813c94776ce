// The document: the pattern, and the reading and writing of .zarnix files, which hold the
// pattern followed by the view settings of the view that shows it.
#pragma once

#include <string>

#include "document/pattern.h"

class CArchive;
class CFractalRenderer;

// Why a document could not be loaded: the file could not be read at all (missing, no
// permission, not a regular file, too large), or it was read but is not a Zarnix document.
enum class LoadFailure { Unreadable, NotADocument };

// The one-line message for a failed load of `name`: "'x.zarnix' is not a Zarnix document
// (detail)" or "cannot read 'x.zarnix': detail". The plain words come first.
std::string LoadErrorText(const std::string& name, LoadFailure failure, const std::string& detail);

class CZarnix4Doc {
public:
    CPattern m_pattern;

    // Makes the start pattern.
    bool OnNewDocument();

    // The pattern section, then the view-settings section of `view` when there is a view.
    void Serialize(CArchive& ar, CFractalRenderer* view);

    // Reads a document file into the pattern and `view`'s settings. On failure nothing of the
    // document or the view has changed, `error` says what is wrong with the file and
    // `failure` (when given) whether it could not be read or is not a document.
    bool Load(const std::string& path, CFractalRenderer* view, std::string& error, LoadFailure* failure = nullptr);
    // Writes the document; the previous file is replaced only when the new one is whole.
    bool Save(const std::string& path, CFractalRenderer* view, std::string& error);
};
