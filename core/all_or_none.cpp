#include "core/all_or_none.h"

namespace kalvento {

AllOrNone replaceAllOrNone(FileOps& files, const std::vector<FileContents>& contents) {
    AllOrNone result;
    std::vector<std::string> temporaries;
    for (const FileContents& file : contents) {
        std::optional<std::string> temporary = files.writeTemporary(file.path, file.data);
        if (!temporary) {
            for (const std::string& written : temporaries) files.remove(written);
            result.failed = file.path;
            return result;
        }
        temporaries.push_back(*temporary);
    }
    for (size_t i = 0; i < contents.size(); ++i) {
        if (!files.rename(temporaries[i], contents[i].path)) {
            for (size_t rest = i; rest < contents.size(); ++rest) files.remove(temporaries[rest]);
            result.failed = contents[i].path;
            return result;
        }
        ++result.renamed;
    }
    result.replaced = true;
    return result;
}

}  // namespace kalvento
