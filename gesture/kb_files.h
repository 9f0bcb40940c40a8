#pragma once
// The four files of the gesture knowledge base, in the working directory, named after the
// current folder number (DALMO_data-12-1.dat .. -4.dat for S012):
//   1  text: the 21 parameters, "%d %d %lf ..." with single blanks and a trailing blank
//   2  binary: 8 GestureLabel, LearnProtocol, ViewPointOn, SampleCount (9,831,776 bytes)
//   3  binary: AcceptLevel, SpareLevel, OK_VAR, RatioLevel, ReviewViewScore, ReviewSum,
//      ReviewCount, SimilarFrames, FixedViewPoint (2,752 bytes)
//   4  binary: the present samples as 1040-byte KbRecords, view point outermost, sample
//      innermost (0 .. 2,560 records)
// Integers are 32-bit and doubles binary64, little-endian, without header.

#include <string>

#include "core/state.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_host.h"
#include "platform/file_ops.h"

namespace kalvento {

// "DALMO_data-12-1.dat" for folder number 12 and part 1.
std::string kbFileName(int folderNumber, int part);

// Saves the knowledge base into the four files of folder `folderNumber` (DirNum + 1): all four
// are written to temporary files first and renamed over the old ones only when every one was
// written, so the files never mix two knowledge bases. Prints the parameter lines, the
// abnormal-value reports and the FINISHED! banner. A file that cannot be written is reported
// on the error stream and nothing is saved (the old files stay). Nothing in memory changes.
void WriteKB(const Recogniser& recogniser, const GestureState& gesture, int folderNumber,
             FileOps& files, RecogniserHost& host);

// Restores the knowledge base from the four files of folder `folderNumber`. -1, with nothing
// changed, when one of them cannot be opened; otherwise 0 after the samples were freed and
// whatever the files hold was read (bounded: short files leave the rest as it was, a bad
// index in file 4 ends its reading). Prints the parameter lines, the reports and the Go!
// banner (the bell first when camBeep is set).
int ReadKB(Recogniser& recogniser, GestureState& gesture, int folderNumber, FileOps& files,
           RecogniserHost& host, int camBeep);

}  // namespace kalvento
