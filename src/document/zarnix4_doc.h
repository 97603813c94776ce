// The document: the pattern, and the reading and writing of .zarnix files, which hold the
// pattern followed by the view settings of the view that shows it.
#pragma once

#include <string>

#include "document/pattern.h"

class CArchive;
class CFractalRenderer;

class CZarnix4Doc {
public:
    CPattern m_pattern;

    // Makes the start pattern.
    bool OnNewDocument();

    // The pattern section, then the view-settings section of `view` when there is a view.
    void Serialize(CArchive& ar, CFractalRenderer* view);

    // Reads a document file into the pattern and `view`'s settings. On failure nothing of the
    // document or the view has changed and `error` says what is wrong with the file.
    bool Load(const std::string& path, CFractalRenderer* view, std::string& error);
    // Writes the document; the previous file is replaced only when the new one is whole.
    bool Save(const std::string& path, CFractalRenderer* view, std::string& error);
};
