#pragma once
// Movie export: the names of the movie files and of the work folder, and the encoder command
// lines. Every command line is built as text (the console shows it exactly) and split at its
// runs of blanks into the argument vector that is really run, so what is printed and what the
// encoder receives can never differ. The one free-form value, the sound file name typed for
// the home sound movie, is put into its argument after the split and stays one argument
// whatever it holds.

#include <string>
#include <vector>

namespace kalvento {

class FileOps;
class ProcessRunner;

namespace movie {

// Frame rate of the first (H.264, 4:2:0) movie of the folder and home movies.
inline constexpr int kFirstMovieRate = 60;
// Home slots searched for the first frame of the home sound movie: clip_00000.jpg ..
// clip_99999.jpg, every number the five-digit names can hold.
inline constexpr int kHomeSlotSearchLimit = 100000;
// Export images counted per key frame: clip_00000.jpg .. clip_21999.jpg.
inline constexpr int kExportImageLimit = 22000;
// Longest path the system can open; a longer sound file path is refused.
inline constexpr size_t kMaxSoundPathBytes = 4095;

// "./ffmpeg" when the working directory holds an executable of that name, else "ffmpeg",
// which the process runner finds in PATH.
std::string encoderProgram(ProcessRunner& processes);

// "../temp_for_mp4": the frames of one clip, renumbered from 0.
std::string workFolderPath();
// "../temp_for_mp4/clip_00007.jpg".
std::string workFramePath(int number);
// "vclip_00003": the base name of the clip movies of number 3.
std::string clipMovieName(int number);
// "../vclip_00003.mp4": the movie whose existence takes clip number 3.
std::string clipMoviePath(int number);
// "S001" for dirNum 0: the base name of the folder movies.
std::string folderMovieName(int dirNum);
// "../S001/export/S002/clip_00007.jpg" for dirNum 0, key-frame index 0 and number 7.
std::string exportImagePath(int dirNum, int keyFrameIndex, int number);

// The shell texts printed for making and emptying the work folder, quotes included:
// mkdir  "../temp_for_mp4"   and   del  /f   "../temp_for_mp4/*.jpg".
std::string makeWorkFolderText();
std::string emptyWorkFolderText();

// Removes every file of the work folder whose name ends in ".jpg" (in any letter case), as
// the del command of the text above does. Sub-folders are left alone. Returns the paths that
// could not be removed.
std::vector<std::string> emptyWorkFolder(FileOps& files);

// One encoder command: the text shown on the console and the argument vector run.
struct EncoderCommand {
    std::string text;
    std::vector<std::string> argv;
};

// Splits a command text at its runs of blanks.
EncoderCommand splitCommand(const std::string& text);

// E1..E4: all frames of folder dirNum into S001_libx264_yuv420p.mp4, S001_libx264.mp4,
// S001.mp4 and S001.avi in the contents root.
std::vector<EncoderCommand> folderMovieCommands(const std::string& program, int frameRate,
                                                int dirNum);
// Q1..Q4: the home folder's frames into HomeMovie_libx264_yuv420p.mp4, HomeMovie_libx264.mp4,
// HomeMovie.mp4 and HomeMovie.avi.
std::vector<EncoderCommand> homeMovieCommands(const std::string& program, int frameRate);
// Y1..Y4: `frames` home frames from `startNumber` on at `rate` frames per second, with the
// sound file `soundName` of the home folder, `seconds` long, into HomeSoundMovie*.
std::vector<EncoderCommand> homeSoundMovieCommands(const std::string& program, double rate,
                                                   int startNumber, const std::string& soundName,
                                                   int frames, int seconds);
// C1, C2: the work folder's frames from `startNumber` on, `frames` of them, into
// clipName.mp4 and clipName.avi.
std::vector<EncoderCommand> clipMovieCommands(const std::string& program, int frameRate,
                                              int startNumber, int frames,
                                              const std::string& clipName);

}  // namespace movie
}  // namespace kalvento
