// Checks made before an export creates its file, so that a name the program must not or
// cannot replace is refused before anything is drawn or written.
#pragma once

#include <string>

// True when `path` may receive an export: it names no folder or other non-file (after
// following symbolic links), and no existing file that is read-only, even for root.
// Otherwise false, with `error` (if given) saying why.
// Whether the folder can be written to is left to the file itself, which reports that on Open.
bool CheckExportTarget(const std::string& path, std::string* error);
