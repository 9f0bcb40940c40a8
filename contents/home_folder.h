#pragma once
// The home folder: the contents root itself, where frames collected from any contents folder
// lie as one numbered sequence clip_00000.jpg, clip_00001.jpg, ... (the slots). A slot is free
// when no file of its name exists. Copies into it never overwrite a slot, even when several
// players fill one home folder at the same time.

#include <functional>
#include <string>

#include "platform/file_ops.h"

namespace kalvento {

// "../clip_00007.jpg" for slot 7; there is no upper limit in the naming.
std::string homeSlotPath(int slot);

// The first free slot at or after `from` (negative counts as 0); -1 when every slot up to the
// largest int is taken.
int firstFreeHomeSlot(FileOps& files, int from);

struct HomeSlotCopy {
    bool copied = false;
    int slot = -1;      // the slot written, or the free slot the failed copy was meant for (-1
                        // when there was none); a failed copy leaves it free
    std::string error;  // why the copy failed
};

// Copies `source` into the first free slot at or after `from`. `announce` gets the slot's
// path just before each copy attempt (the caller prints its command line there). The file is
// created exclusively: a slot that someone else filled between the test and the copy is kept
// as it is and the copy moves on to the next free slot.
HomeSlotCopy copyToFreeHomeSlot(FileOps& files, const std::string& source, int from,
                                const std::function<void(const std::string& slotPath)>& announce);

}  // namespace kalvento
