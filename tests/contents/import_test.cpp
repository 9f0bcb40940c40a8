// The import's ffmpeg command for a video, Ctrl+C in the middle, and the import against
// hostile input and a hostile disk: two imports at once, a link in place of the hidden folder,
// a full disk, a picture bomb, a FIFO, terminal escapes in names, protocol names, damaged
// pictures; and a folder's own pictures made its clips in place.

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "contents/import.h"
#include "core/paths.h"
#include "platform/own_files.h"
#include "support/capture_console.h"
#include "support/fake_process_runner.h"
#include "support/forwarding_file_ops.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

// Real files, with the operations a case disturbs.
class HostileFiles final : public ForwardingFileOps {
public:
    CopyResult copyNew(const std::string& from, const std::string& to) override {
        if (copyError != 0 && copies++ >= copiesBeforeError) {
            CopyResult failed;
            failed.setError(copyError);
            return failed;
        }
        return real.copyNew(from, to);
    }
    bool rename(const std::string& from, const std::string& to) override {
        if (beforeRename) std::exchange(beforeRename, nullptr)(to);
        return real.rename(from, to);
    }
    std::optional<unsigned long long> freeBytes(const std::string& path) override {
        return freeSpace ? freeSpace : real.freeBytes(path);
    }
    int copyError = 0;
    int copiesBeforeError = 0;
    int copies = 0;
    std::function<void(const std::string&)> beforeRename;
    std::optional<unsigned long long> freeSpace;
};

// A JPEG writer whose writes fail with `error` (0: written).
class FailingJpegWriter final : public JpegWriter {
public:
    bool write(const std::string& path, const cv::Mat& picture) override {
        return error == 0 && real.write(path, picture);
    }
    int lastError() const override { return error != 0 ? error : real.lastError(); }
    int error = 0;
    OpenCvJpegWriter real;
};

struct ImportFixture {
    Workspace ws;
    HostileFiles files;
    FakeProcessRunner processes;
    TurboJpegLoader images;
    FailingJpegWriter jpeg;
    CaptureConsole console;
    ImportTools tools{files, processes, images, jpeg, console, nullptr};
    std::string oldDirectory = fs::current_path();
    ImportFixture() { fs::current_path(ws.work()); }
    ~ImportFixture() { fs::current_path(oldDirectory); }
    std::string in(const std::string& name) const { return ws.root() + "/in/" + name; }
    // Pictures 0.jpg, 1.png, 2.jpg, ... of 16 x 12 in folder "in".
    void pictures(int count) const {
        fs::create_directories(ws.root() + "/in");
        for (int i = 0; i < count; ++i)
            cv::imwrite(in(std::to_string(i) + (i % 2 ? ".png" : ".jpg")),
                        cv::Mat(12, 16, CV_8UC3, cv::Scalar(9 * i, 50, 90)));
    }
    ImportResult importIn(int folder = 0) {
        return importContents({{ws.root() + "/in"}, folder}, tools);
    }
    // The names in the contents root, sorted.
    std::vector<std::string> rootNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(ws.root()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A PNG file declaring `width` x `height` pixels: only its signature and header chunk.
std::string pngHeader(uint32_t width, uint32_t height) {
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(value >> shift);
    bytes += std::string("\x08\x02\0\0\0\0\0\0\0", 9);
    return bytes;
}

size_t clipFiles(const std::string& folder) {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += entry.path().filename().string().rfind("clip_", 0) == 0;
    return n;
}

TEST(Import, AVideoIsReadByFfmpegIntoTheHiddenFolderEveryFrame) {
    ImportFixture f;
    std::ofstream(f.ws.root() + "/walk.mp4") << "video";
    ImportResult result = importContents({{f.ws.root() + "/walk.mp4"}, 4}, f.tools);
    ASSERT_EQ(f.processes.ran.size(), 1u);
    EXPECT_EQ(f.processes.ran[0],
              (std::vector<std::string>{
                  "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-i",
                  "file:" + f.ws.root() + "/walk.mp4", "-map", "0:v:0", "-fps_mode", "passthrough",
                  "-frames:v", "22001", "-q:v", "2", "-start_number", "0",
                  "../.S004.import/clip_%05d.jpg"}));
    // The fake made no frame: the video is named and skipped, and nothing is left.
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(f.console.errText().find("skipped " + f.ws.root() + "/walk.mp4"), std::string::npos);
    EXPECT_FALSE(fs::exists(f.ws.root() + "/.S004.import"));
    EXPECT_FALSE(fs::exists(f.ws.folder(4)));
}

TEST(Import, CtrlCInTheMiddleLeavesNothingBehind) {
    ImportFixture f;
    f.pictures(3);
    int asked = 0;
    f.tools.interrupted = [&asked] { return ++asked == 2; };
    ImportResult result = f.importIn();
    EXPECT_EQ(result.status, 130);
    EXPECT_NE(f.console.errText().find("interrupted; nothing was imported"), std::string::npos);
    EXPECT_FALSE(fs::exists(f.ws.root() + "/.S001.import"));
    EXPECT_FALSE(fs::exists(f.ws.folder(1)));
}

// One hostile situation: what is set up, what the import must end with.
struct Hostility {
    const char* name;
    std::function<void(ImportFixture&)> setUp;
    int status;                 // the import's exit status
    int folder;                 // the folder made (0: none)
    const char* said;           // a part of the error stream
    std::function<void(ImportFixture&)> check;  // what else must hold
    const char* file = nullptr;  // the file in "in" imported; none: the folder "in"
};

std::vector<Hostility> hostilities() {
    return {
        {"another import holds S001's hidden folder: this one gathers for S002",
         [](ImportFixture& f) {
             f.pictures(2);
             OwnFolder::Outcome outcome;
             static OwnFolder other;
             other = OwnFolder::make(f.ws.root() + "/.S001.import", outcome);
             ASSERT_EQ(outcome, OwnFolder::Outcome::Made);
         },
         0, 2, "", [](ImportFixture& f) { EXPECT_TRUE(fs::exists(f.ws.root() + "/.S001.import")); }},
        {"S001 is filled by another import first: the clips go to S002, nothing lost",
         [](ImportFixture& f) {
             f.pictures(4);
             f.files.beforeRename = [&f](const std::string&) {
                 fs::create_directories(f.ws.folder(1));
                 std::ofstream(f.ws.folder(1) + "/clip_00000.jpg") << "theirs";
             };
         },
         0, 2, "", [](ImportFixture& f) {
             EXPECT_EQ(clipFiles(f.ws.folder(2)), 4u);
             EXPECT_EQ(clipFiles(f.ws.folder(1)), 1u) << "the other import's folder untouched";
         }},
        {"a link in the hidden folder's place: refused, its target untouched",
         [](ImportFixture& f) {
             f.pictures(1);
             fs::create_directories(f.ws.root() + "/elsewhere");
             std::ofstream(f.ws.root() + "/elsewhere/precious.txt") << "keep";
             fs::create_directory_symlink(f.ws.root() + "/elsewhere", f.ws.root() + "/.S001.import");
         },
         1, 0, ".import is in the way: a link or a file", [](ImportFixture& f) {
             EXPECT_TRUE(fs::exists(f.ws.root() + "/elsewhere/precious.txt"));
             EXPECT_TRUE(fs::is_symlink(f.ws.root() + "/.S001.import"));
         }},
        {"a killed import's hidden folder is cleared and used",
         [](ImportFixture& f) {
             f.pictures(1);
             fs::create_directories(f.ws.root() + "/.S001.import");
             std::ofstream(f.ws.root() + "/.S001.import/clip_00007.jpg") << "old";
         },
         0, 1, "", [](ImportFixture& f) { EXPECT_EQ(clipFiles(f.ws.folder(1)), 1u); }},
        {"a full disk while JPEGs are copied ends the import",
         [](ImportFixture& f) {
             f.pictures(5);
             f.files.copyError = ENOSPC;
             f.files.copiesBeforeError = 1;
         },
         1, 0, "No space left on device; nothing was imported", nullptr},
        {"a full disk while pictures are converted ends the import",
         [](ImportFixture& f) {
             f.pictures(2);
             f.jpeg.error = EDQUOT;
         },
         1, 0, "Disk quota exceeded; nothing was imported", nullptr},
        {"a disk error ends the import",
         [](ImportFixture& f) {
             f.pictures(1);
             f.files.copyError = EIO;
         },
         1, 0, "Input/output error; nothing was imported", nullptr},
        {"ffmpeg stopped by a full disk ends the import",
         [](ImportFixture& f) {
             fs::create_directories(f.ws.root() + "/in");
             std::ofstream(f.in("walk.avi")) << "video";
             f.processes.status = 1;
             f.files.freeSpace = 4096;
         },
         1, 0, "No space left on device; nothing was imported", nullptr, "walk.avi"},
        {"a picture bomb is refused before it is decoded",
         [](ImportFixture& f) {
             f.pictures(1);
             std::ofstream(f.in("bomb.png"), std::ios::binary) << pngHeader(30000, 30000);
         },
         0, 1, "bomb.png: it is 30000 x 30000 pixels, more than the 100 million", nullptr},
        {"a FIFO named like a picture is skipped, not waited on",
         [](ImportFixture& f) {
             f.pictures(1);
             ASSERT_EQ(::mkfifo(f.in("pipe.jpg").c_str(), 0644), 0);
         },
         0, 1, "pipe.jpg: it is not a regular file", nullptr},
        {"escapes and line ends in a name are printed as escapes",
         [](ImportFixture& f) {
             f.pictures(1);
             std::ofstream(f.in("x\x1b]0;owned\x07\nkalvento --import: forged.jpg")) << "junk";
         },
         0, 1, "x\\x1B]0;owned\\x07\\x0Akalvento --import: forged.jpg", [](ImportFixture& f) {
             EXPECT_EQ(f.console.errText().find('\x1b'), std::string::npos);
             EXPECT_FALSE(contains(f.console.errText(), "\nkalvento --import: forged"));
         }},
        {"a video name that is an ffmpeg protocol is handed over as a file",
         [](ImportFixture& f) {
             fs::create_directories(f.ws.root() + "/in");
             std::ofstream(f.in("concat:a.avi|a.avi")) << "video";
         },
         1, 0, "ffmpeg cannot read it as a video", [](ImportFixture& f) {
             ASSERT_EQ(f.processes.ran.size(), 1u);
             EXPECT_EQ(f.processes.ran[0][7], "file:" + f.in("concat:a.avi|a.avi"));
         }, "concat:a.avi|a.avi"},
        {"a damaged JPEG is imported and named",
         [](ImportFixture& f) {
             f.pictures(1);
             std::vector<unsigned char> bytes;
             cv::Mat noise(64, 64, CV_8UC3);
             cv::randu(noise, 0, 256);
             cv::imencode(".jpg", noise, bytes);
             bytes.resize(bytes.size() * 2 / 3);
             std::ofstream(f.in("cut.jpg"), std::ios::binary)
                 .write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
         },
         0, 1, "imported, but damaged (they show only in part): ", [](ImportFixture& f) {
             EXPECT_TRUE(contains(f.console.errText(), f.in("cut.jpg") + "\n"));
             EXPECT_EQ(clipFiles(f.ws.folder(1)), 2u);
         }},
    };
}

TEST(ImportHostility, EachEndsSafelyAndSaysWhy) {
    for (const Hostility& hostility : hostilities()) {
        SCOPED_TRACE(hostility.name);
        ImportFixture f;
        hostility.setUp(f);
        const ImportResult result = hostility.file == nullptr
                                        ? f.importIn()
                                        : importContents({{f.in(hostility.file)}, 0}, f.tools);
        EXPECT_EQ(result.status, hostility.status) << f.console.errText();
        EXPECT_EQ(result.folderNumber, hostility.folder);
        EXPECT_TRUE(contains(f.console.errText(), hostility.said)) << f.console.errText();
        if (hostility.folder == 0) {
            EXPECT_FALSE(fs::exists(f.ws.folder(1))) << "no new folder";
        }
        const std::vector<std::string> names = f.rootNames();
        for (const std::string& name : names)
            EXPECT_FALSE(name.find(".tmp") != std::string::npos) << name;
        if (hostility.check) hostility.check(f);
    }
}

TEST(ImportHostility, ARelativeNameFromARemovedDirectoryIsRefused) {
    ImportFixture f;
    fs::create_directories(f.ws.root() + "/gone");
    fs::current_path(f.ws.root() + "/gone");
    fs::remove(f.ws.root() + "/gone");
    const ImportResult result = importContents({{"concat:a.avi|a.avi"}, 0}, f.tools);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(f.console.errText(), "cannot be found (was it removed?)"));
    EXPECT_TRUE(f.processes.ran.empty()) << "ffmpeg never sees the name";
}

TEST(ImportHostility, CtrlCDuringAVideoSaysOnlyThatItWasInterrupted) {
    ImportFixture f;
    std::ofstream(f.ws.root() + "/long.mp4") << "video";
    f.processes.status = 255;  // ffmpeg's end on SIGINT
    f.tools.interrupted = [] { return true; };
    const ImportResult result = importContents({{f.ws.root() + "/long.mp4"}, 0}, f.tools);
    EXPECT_EQ(result.status, 130);
    EXPECT_EQ(f.console.errText(), "\nkalvento --import: interrupted; nothing was imported.\n");
}

TEST(ImportInPlace, AFoldersOwnPicturesBecomeItsClipsAndAreKeptAside) {
    ImportFixture f;
    fs::create_directories(f.ws.folder(1));
    for (const char* name : {"frame_2.png", "frame_10.jpg", "frame_1.jpg"})
        cv::imwrite(f.ws.folder(1) + "/" + name, cv::Mat(12, 16, CV_8UC3, cv::Scalar(40, 50, 60)));
    const ImportResult result = importContents({{f.ws.folder(1)}, 1}, f.tools);
    ASSERT_EQ(result.status, 0) << f.console.errText();
    EXPECT_EQ(result.folderNumber, 1);
    EXPECT_EQ(clipFiles(f.ws.folder(1)), 3u);
    for (const char* name : {"frame_2.png", "frame_10.jpg", "frame_1.jpg"})
        EXPECT_TRUE(fs::exists(f.ws.folder(1) + "-pictures/" + name)) << name;
    EXPECT_TRUE(contains(f.console.outText(), "kept in ../S001-pictures\n"));
    EXPECT_EQ(f.rootNames(), (std::vector<std::string>{"S001", "S001-pictures", "work"}))
        << "no hidden folder is left";
}

}  // namespace
}  // namespace kalvento::test
