#pragma once
// Bringing clips in: a new contents folder made from a folder of pictures of any names,
// picture files (JPEG copied; PNG, WebP, BMP and TIFF converted to JPEG) or video files (every
// frame, through ffmpeg), numbered from clip_00000.jpg.

#include <functional>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "platform/jpeg_writer.h"
#include "platform/process_runner.h"

namespace kalvento {

// What an import reads, writes and runs through.
struct ImportTools {
    FileOps& files;
    ProcessRunner& processes;
    ImageLoader& images;  // every picture is decoded once: one that cannot be is skipped
    JpegWriter& jpeg;
    Console& console;
    // True once the user asked to stop (Ctrl+C); unset: never.
    std::function<bool()> interrupted;
};

struct ImportRequest {
    // Folders, picture files and video files, in this order; relative names are taken from
    // the working directory.
    std::vector<std::string> paths;
    int folderNumber = 0;            // N of SNNN to make; 0: the lowest free one
};

// The outcome: the folder number made (1 for S001) and its clip count, or 0 and the exit
// status of a refused or failed import (said on the console; nothing is left behind).
struct ImportResult {
    int folderNumber = 0;
    int clips = 0;
    int status = 0;
};

// Makes the new folder in the contents root (the working directory's parent). The clips are
// gathered in a hidden folder ".SNNN.import" beside it, made exclusively and held by this
// import, that takes the folder's name only when complete, so a failure or an interruption
// leaves nothing behind; an existing folder with anything in it is never touched, and nothing
// this import did not make is removed. Two imports at once gather in different hidden folders;
// one that finds its folder taken when it is complete takes the next free one (or, with a
// folder number asked for, is refused). A link or file in the hidden folder's place refuses
// the import. Asked to make folder SNNN of that same folder's pictures, the import makes the
// clips in the hidden folder and, when they are complete, moves the folder aside to
// "SNNN-pictures" and puts the clips in its place.
// More pictures than a folder holds (kMaxClips) are refused before anything is written; a
// video giving more is refused after being read. A path that does not exist refuses the
// import; a file that cannot be read or decoded (not a regular file, no picture, more than
// kMaxPicturePixels) is named and skipped; a write that fails (full disk, disk error) stops
// the whole import. Damaged pictures that load in part are named at the end. Every file name
// is printed through printable(). Prints a progress line while it works and the folder made
// at the end.
ImportResult importContents(const ImportRequest& request, ImportTools& tools);

// True for a file name whose extension (case ignored) is that of a picture the import takes:
// .jpg, .jpeg, .png, .webp, .bmp, .tif, .tiff.
bool isPictureName(const std::string& name);

// `a` before `b` in natural order: runs of digits compare as numbers (frame_2 before
// frame_10), everything else byte by byte.
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace kalvento
