#include "export/export_target.h"

#include <filesystem>
#include <system_error>

bool CheckExportTarget(const std::string& path, std::string* error)
{
    auto refuse = [error](const char* why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (path.empty())
        return refuse("no file name was given");

    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(path), ec);
    if (ec || status.type() == fs::file_type::not_found)
        return true;  // a new file; Open finds out whether the folder takes it
    if (status.type() == fs::file_type::directory)
        return refuse("a folder of that name exists");
    if (status.type() != fs::file_type::regular)
        return refuse("the name belongs to something other than a file");
    // The file is replaced by a rename, which the system allows even for a read-only file;
    // the program keeps the promise of the read-only mark itself.
    constexpr fs::perms anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & anyWrite) == fs::perms::none)
        return refuse("the file is read-only");
    return true;
}
