#include "export/export_target.h"

#include "platform/file.h"

bool CheckExportTarget(const std::string& path, std::string* error)
{
    // The same rules as every file the program writes (and as saving a document): a regular
    // file that is not read-only, or a new name; a symbolic link is judged by what it names.
    std::string why;
    if (CheckWriteTarget(path, why))
        return true;
    if (error != nullptr)
        *error = why;
    return false;
}
