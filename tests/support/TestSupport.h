// Small helpers shared by the test executables: temporary folders and whole-file I/O.
#pragma once

#include <string>
#include <vector>

namespace rx457test {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
std::vector<unsigned char> readBytes(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool fileExists(const std::string& path);

// Runs a command line through the shell and returns its standard output; exitCode receives the
// status (-1 when the command could not be run).
std::string runCommand(const std::string& command, int* exitCode = nullptr);
bool commandAvailable(const std::string& name);

}  // namespace rx457test
