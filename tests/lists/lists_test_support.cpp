#include "lists_test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

ScratchFolder::ScratchFolder() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/volnar-lists-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = std::string(buffer.data()) + "/";
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) return;
    std::error_code error;
    // Permissions taken away by a test must not keep the folder from being removed.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    for (const auto &entry : std::filesystem::recursive_directory_iterator(path_, error)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path_, error);
}

std::string ScratchFolder::Write(const std::string &name, const std::string &bytes) const {
    const std::string full = path_ + name;
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

CurrentFolder::CurrentFolder(const std::string &folder) {
    std::error_code error;
    previous_ = std::filesystem::current_path(error).string();
    std::filesystem::current_path(folder, error);
}

CurrentFolder::~CurrentFolder() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
}

std::string ReadFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ListsTestDataFolder() {
    return LISTS_TEST_DATA_FOLDER;
}
