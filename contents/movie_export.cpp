#include "contents/movie_export.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/paths.h"
#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/process_runner.h"

namespace kalvento::movie {

namespace {

constexpr const char* kLocalEncoder = "./ffmpeg";
constexpr const char* kPathEncoder = "ffmpeg";

// Stands for the sound file name while a sound movie command is split; it holds no blank, so
// its argument is found again after the split and the real name put in its place.
constexpr const char* kSoundNamePlaceholder = "\x01sound\x01";

// The encoder command lines, with the program, the paths and the numbers to fill in. The runs
// of blanks are part of them: they line the commands up when printed one below the other.
constexpr const char* kE1Format =
    "%s  -y  -framerate %d  -i %s/%s/clip_%%05d.jpg"
    "  -vcodec libx264  -pix_fmt yuv420p  -crf 0  -r %d  %s/%s_libx264_yuv420p.mp4";
constexpr const char* kE2Format =
    "%s  -y  -framerate %d  -i %s/%s/clip_%%05d.jpg"
    "  -vcodec libx264                    -crf 0  -r %d  %s/%s_libx264.mp4";
constexpr const char* kE3Format =
    "%s  -y  -framerate %d  -i %s/%s/clip_%%05d.jpg"
    "                                             -r %d  %s/%s.mp4";
constexpr const char* kE4Format =
    "%s  -y  -framerate %d  -i %s/%s/clip_%%05d.jpg"
    "  -vcodec mjpeg  -q:v 0                      -r %d  %s/%s.avi";
constexpr const char* kQ1Format =
    "%s  -y  -framerate %d  -i %s/clip_%%05d.jpg"
    "  -vcodec libx264  -pix_fmt yuv420p  -crf 0  -r %d  %s/HomeMovie_libx264_yuv420p.mp4";
constexpr const char* kQ2Format =
    "%s  -y  -framerate %d  -i %s/clip_%%05d.jpg"
    "  -vcodec libx264                    -crf 0  -r %d  %s/HomeMovie_libx264.mp4";
constexpr const char* kQ3Format =
    "%s  -y  -framerate %d  -i %s/clip_%%05d.jpg"
    "                                             -r %d  %s/HomeMovie.mp4";
constexpr const char* kQ4Format =
    "%s  -y  -framerate %d  -i %s/clip_%%05d.jpg"
    "  -vcodec mjpeg  -q:v 0                      -r %d  %s/HomeMovie.avi";
constexpr const char* kY1Format =
    "%s  -y  -r %f  -start_number %d  -i %s/clip_%%05d.jpg"
    "  -i %s/%s  -vframes %d  -t %d"
    "  -vcodec libx264  -pix_fmt yuv420p  -crf 0  %s/HomeSoundMovie_libx264_yuv420p.mp4";
constexpr const char* kY2Format =
    "%s  -y  -r %f  -start_number %d  -i %s/clip_%%05d.jpg"
    "  -i %s/%s  -vframes %d  -t %d"
    "  -vcodec libx264                    -crf 0  %s/HomeSoundMovie_libx264.mp4";
constexpr const char* kY3Format =
    "%s  -y  -r %f  -start_number %d  -i %s/clip_%%05d.jpg"
    "  -i %s/%s  -vframes %d  -t %d"
    "                                             %s/HomeSoundMovie.mp4";
constexpr const char* kY4Format =
    "%s  -y  -r %f  -start_number %d  -i %s/clip_%%05d.jpg"
    "  -i %s/%s  -vframes %d  -t %d"
    "  -vcodec mjpeg  -q:v 0                      %s/HomeSoundMovie.avi";
constexpr const char* kC1Format =
    "%s  -y  -framerate %d  -start_number %d  -i %s/temp_for_mp4/clip_%%05d.jpg"
    "  -vframes %d                                             -r %d  %s/%s.mp4";
constexpr const char* kC2Format =
    "%s  -y  -framerate %d  -start_number %d  -i %s/temp_for_mp4/clip_%%05d.jpg"
    "  -vframes %d  -vcodec mjpeg  -q:v 0                      -r %d  %s/%s.avi";

bool endsWithJpg(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && std::tolower(static_cast<unsigned char>(tail[1])) == 'j' &&
           std::tolower(static_cast<unsigned char>(tail[2])) == 'p' &&
           std::tolower(static_cast<unsigned char>(tail[3])) == 'g';
}

std::vector<EncoderCommand> splitAll(const std::vector<std::string>& texts) {
    std::vector<EncoderCommand> commands;
    for (const std::string& text : texts) commands.push_back(splitCommand(text));
    return commands;
}

}  // namespace

std::string encoderProgram(ProcessRunner& processes) {
    return processes.isExecutable(kLocalEncoder) ? kLocalEncoder : kPathEncoder;
}

std::string workFolderPath() {
    return strf("%s/temp_for_mp4", kContentsRoot);
}

std::string workFramePath(int number) {
    return zeroFill(strf("%s/temp_for_mp4/clip_%5d.jpg", kContentsRoot, number));
}

std::string clipMovieName(int number) {
    return zeroFill(strf("vclip_%5d", number));
}

std::string clipMoviePath(int number) {
    return zeroFill(strf("%s/vclip_%5d.mp4", kContentsRoot, number));
}

std::string folderMovieName(int dirNum) {
    return folderName(dirNum);
}

std::string exportImagePath(int dirNum, int keyFrameIndex, int number) {
    return folderPath(dirNum) + "/export/" + folderName(keyFrameIndex + 1) +
           zeroFill(strf("/clip_%5d.jpg", number));
}

std::string makeWorkFolderText() {
    std::string text = strf("mkdir  @%s@", workFolderPath().c_str());
    for (char& c : text)
        if (c == '@') c = '"';
    return text;
}

std::string emptyWorkFolderText() {
    const std::string pattern = strf("%s/temp_for_mp4/*.jpg", kContentsRoot);
    std::string text = strf("del  /f   @%s@", pattern.c_str());
    for (char& c : text)
        if (c == '@') c = '"';
    return text;
}

std::vector<std::string> emptyWorkFolder(FileOps& files) {
    std::vector<std::string> images;
    std::error_code error;
    for (std::filesystem::directory_iterator it(workFolderPath(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!endsWithJpg(name) || files.isDirectory(it->path().string())) continue;
        images.push_back(it->path().string());
    }
    std::vector<std::string> failed;
    for (const std::string& path : images)
        if (!files.remove(path)) failed.push_back(path);
    return failed;
}

EncoderCommand splitCommand(const std::string& text) {
    EncoderCommand command{text, {}};
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        size_t end = pos;
        while (end < text.size() && text[end] != ' ') ++end;
        if (end > pos) command.argv.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return command;
}

std::vector<EncoderCommand> folderMovieCommands(const std::string& program, int frameRate,
                                                int dirNum) {
    const char* p = program.c_str();
    const char* root = kContentsRoot;
    const std::string name = folderMovieName(dirNum);
    const char* base = name.c_str();
    return splitAll({
        strf(kE1Format, p, frameRate, root, base, kFirstMovieRate, root, base),
        strf(kE2Format, p, frameRate, root, base, frameRate, root, base),
        strf(kE3Format, p, frameRate, root, base, frameRate, root, base),
        strf(kE4Format, p, frameRate, root, base, frameRate, root, base),
    });
}

std::vector<EncoderCommand> homeMovieCommands(const std::string& program, int frameRate) {
    const char* p = program.c_str();
    const char* root = kContentsRoot;
    return splitAll({
        strf(kQ1Format, p, frameRate, root, kFirstMovieRate, root),
        strf(kQ2Format, p, frameRate, root, frameRate, root),
        strf(kQ3Format, p, frameRate, root, frameRate, root),
        strf(kQ4Format, p, frameRate, root, frameRate, root),
    });
}

std::vector<EncoderCommand> homeSoundMovieCommands(const std::string& program, double rate,
                                                   int startNumber, const std::string& soundName,
                                                   int frames, int seconds) {
    const char* p = program.c_str();
    const char* root = kContentsRoot;
    const char* sound = kSoundNamePlaceholder;
    std::vector<EncoderCommand> commands;
    for (const char* format : {kY1Format, kY2Format, kY3Format, kY4Format})
        commands.push_back(splitCommand(
            strf(format, p, rate, startNumber, root, root, sound, frames, seconds, root)));
    // Only our own text went through the split: the typed name is put whole into the one
    // argument (and the one place of the text) that held the placeholder.
    const std::string placeholderArg = strf("%s/%s", root, sound);
    const std::string placeholder = sound;
    for (EncoderCommand& command : commands) {
        for (std::string& arg : command.argv)
            if (arg == placeholderArg) arg = strf("%s/", root) + soundName;
        const size_t at = command.text.find(placeholder);
        if (at != std::string::npos) command.text.replace(at, placeholder.size(), soundName);
    }
    return commands;
}

std::vector<EncoderCommand> clipMovieCommands(const std::string& program, int frameRate,
                                              int startNumber, int frames,
                                              const std::string& clipName) {
    const char* p = program.c_str();
    const char* root = kContentsRoot;
    const char* name = clipName.c_str();
    return splitAll({
        strf(kC1Format, p, frameRate, startNumber, root, frames, frameRate, root, name),
        strf(kC2Format, p, frameRate, startNumber, root, frames, frameRate, root, name),
    });
}

}  // namespace kalvento::movie
