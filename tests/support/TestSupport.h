#pragma once

#include <string>

namespace testing_support {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Makes `dir` the current folder while alive.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& dir);
    ~ScopedCurrentDir();

private:
    std::string previous_;
};

std::string ReadFile(const std::string& path);  // fails the test when unreadable
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::string DataFile(const std::string& relative);  // a file under tests/data

}  // namespace testing_support
