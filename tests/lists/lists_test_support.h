// Helpers of the media-list tests: a scratch folder that is removed afterwards, files written
// byte for byte, and running a piece of code with another current folder.
#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // The folder with a trailing "/".
    const std::string &Path() const { return path_; }
    // Writes bytes to the file name inside the folder; returns its full path.
    std::string Write(const std::string &name, const std::string &bytes) const;

  private:
    std::string path_;
};

// Makes folder the current folder for the life of the object.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::string &folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;

  private:
    std::string previous_;
};

// The whole file, or empty when it cannot be read.
std::string ReadFileBytes(const std::string &path);
// The folder of the module's test data, with a trailing "/".
std::string ListsTestDataFolder();
