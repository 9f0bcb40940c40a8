#pragma once
// Copying a file into the first free name of a numbered sequence (clip_00000.jpg,
// clip_00001.jpg, ...), safely when other players fill the same sequence at the same time.

#include <functional>
#include <string>

#include "platform/file_ops.h"

namespace kalvento {

struct NumberedCopy {
    bool copied = false;
    int number = -1;    // the number written, or the free number the failed copy was meant for
                        // (-1 when no number up to the largest int was free); a failed copy
                        // leaves it free
    std::string error;  // why the copy failed
};

// Copies `source` to pathOf(n) for the first n at or after `from` (negative counts as 0) whose
// file does not exist. `announce` gets the path just before each copy attempt. The file is
// created exclusively: a name that someone else took between the test and the copy is kept as
// it is, and the copy moves on to the next free number.
NumberedCopy copyToFreeNumber(FileOps& files, const std::string& source, int from,
                              const std::function<std::string(int number)>& pathOf,
                              const std::function<void(const std::string& path)>& announce);

}  // namespace kalvento
