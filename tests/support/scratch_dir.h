#pragma once
// A scratch folder of the running test's own: made by mkdtemp under the
// temporary directory, so two runs of the suite at once (two checkouts,
// parallel CI jobs) never write into each other's files.

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kestrava::testsupport {

// A new, empty folder named PREFIX-XXXXXX; the caller removes it.
inline std::filesystem::path MakeScratchDir(const std::string& prefix)
{
    std::string name = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("Cannot create a scratch folder " + name + ": "
                                 + std::generic_category().message(errno));
    return name;
}

// Removes a scratch folder, also one a test left without write permission.
inline void RemoveScratchDir(const std::filesystem::path& dir)
{
    std::error_code error;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 error);
    std::filesystem::remove_all(dir, error);
}

}  // namespace kestrava::testsupport
