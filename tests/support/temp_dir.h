#pragma once
// A temporary folder of a test's own, removed with everything in it when the test ends, even
// after a failed assertion.

#include <string>

namespace kalvento::test {

class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Writes `data` to `path`, creating its parent folders.
void writeFile(const std::string& path, const std::string& data);
// The whole file, or "" when it cannot be read.
std::string readFile(const std::string& path);

// Changes the working directory for the life of the object.
class ScopedWorkdir {
public:
    explicit ScopedWorkdir(const std::string& path);
    ~ScopedWorkdir();
    ScopedWorkdir(const ScopedWorkdir&) = delete;
    ScopedWorkdir& operator=(const ScopedWorkdir&) = delete;

private:
    std::string previous_;
};

}  // namespace kalvento::test
