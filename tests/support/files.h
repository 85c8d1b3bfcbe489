// Files for tests: a scratch folder removed with everything in it, and whole-file reads and
// writes.
#pragma once

#include <string>

namespace comsetup::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // The path of name in the folder (nothing is made).
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes content to name in the folder and gives its path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// The whole file, bytes as they are; "" when it cannot be read.
std::string ReadFile(const std::string& path);

} // namespace comsetup::test
