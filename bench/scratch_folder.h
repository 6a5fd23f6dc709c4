// A folder under /tmp for a benchmark's files, removed with everything in it when the
// program ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class ScratchFolder {
  public:
    ScratchFolder() {
        char pattern[] = "/tmp/volnar-bench-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path_ = std::string(pattern) + "/";
    }
    ~ScratchFolder() {
        std::error_code error;
        if (!path_.empty()) std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // The folder with its trailing "/"; empty when it could not be made.
    const std::string &Path() const { return path_; }

  private:
    std::string path_;
};
