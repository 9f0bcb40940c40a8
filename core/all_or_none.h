#pragma once
// Replacing a set of files that belong together (the parts of one saved state) all at once or
// not at all.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_ops.h"

namespace kalvento {

struct FileContents {
    std::string path;
    std::string data;
};

struct AllOrNone {
    bool replaced = false;  // every file holds its new contents
    std::string failed;     // the path that could not be written (or renamed), when not
    size_t renamed = 0;     // how many files, from the first, hold their new contents
};

// Writes every file of `files` to a temporary beside it first; only when all of them were
// written are they renamed over their paths, in order. A write that fails renames nothing and
// removes every temporary, so the old files stay as they were, all of them. A rename that fails
// (which a folder that took the temporaries hardly does) leaves the files renamed before it new
// and the rest old.
AllOrNone replaceAllOrNone(FileOps& files, const std::vector<FileContents>& contents);

}  // namespace kalvento
