#pragma once
// Files and folders the player writes under a temporary name, held while it writes them, so
// that a later start can tell the leftovers of a killed run (nobody holds them) from those of
// a player still at work, and remove only the first.
//
// A writer holds an exclusive flock(2) on its temporary file or folder as long as it writes
// it; the kernel drops the lock when the process ends, however it ends.

#include <optional>
#include <string>

namespace kalvento {

// A folder this process made (exclusively) and holds until it is closed or the process ends.
class OwnFolder {
public:
    enum class Outcome {
        Made,      // made and held
        Exists,    // a folder of that name exists already (left alone)
        InTheWay,  // something else has the name: a link, a file (left alone)
        Failed,    // it cannot be made here (errno says why)
    };

    OwnFolder() = default;
    ~OwnFolder();
    OwnFolder(OwnFolder&& other) noexcept;
    OwnFolder& operator=(OwnFolder&& other) noexcept;
    OwnFolder(const OwnFolder&) = delete;
    OwnFolder& operator=(const OwnFolder&) = delete;

    // Makes the folder `path` (mode 0755 less the umask) and holds it.
    static OwnFolder make(const std::string& path, Outcome& outcome);

    bool held() const { return fd_ >= 0; }
    // True while `path` still names this very folder (not a link, not a folder put in its
    // place).
    bool isAt(const std::string& path) const;
    // Removes every file the folder holds (through the folder itself: a name in it is never
    // followed elsewhere) and then the folder, when its name still names it. Stops holding it.
    void removeWithFiles(const std::string& path);
    // Stops holding the folder; it stays.
    void release();

private:
    int fd_ = -1;
};

// What removeLeftoverFolder found at a name.
enum class Leftover {
    None,      // nothing has the name
    Removed,   // a folder nobody holds: removed with the files in it
    InUse,     // a folder another process holds: left alone
    InTheWay,  // a link or anything else but a folder: left alone
    Kept,      // a folder nobody holds that could not be removed (it holds a folder, ...)
};

// Removes the folder `path` with its files when nobody holds it (the leftover of a killed
// run); never follows a link, never descends into a folder inside it.
Leftover removeLeftoverFolder(const std::string& path);

// True for the name of a temporary file of the player: a name of the files it writes (ending
// in .dat, .txt, .jpg, .mp4 or .avi) followed by ".tmp" and six letters or digits.
bool isTemporaryName(const std::string& name);

// Removes the regular file `path` when nobody holds it; never follows a link. True when
// removed.
bool removeUnheldFile(const std::string& path);

// Holds the open file `fd` for its writer (see above). False when another process holds it.
bool holdWhileWriting(int fd);

}  // namespace kalvento
