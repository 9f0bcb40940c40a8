// The real player, headless, on contents kept on an exFAT disk, which has no hard links: the
// import of command-line images and the home-folder copies still work and still never
// overwrite a clip. The disk is a file system image of the test's own, mounted with exfat-fuse
// through a loop device (as root, with /dev/fuse).

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

// An empty exFAT file system mounted at mountPoint() for the life of the object.
class ExfatDisk {
public:
    ~ExfatDisk() {
        if (mounted_) runProgram("/usr/bin/fusermount", {"-u", mountPoint()}, dir_.path());
        if (!device_.empty()) runProgram("/usr/sbin/losetup", {"-d", device_}, dir_.path());
    }
    // Makes the file system in an image file and mounts it; mounted() tells whether it worked.
    void mount() {
        const std::string image = dir_ / "exfat.img";
        writeFile(image, "");
        fs::resize_file(image, 32 << 20);
        if (!step("/usr/sbin/mkfs.exfat", {image})) return;
        RunResult loop = runProgram("/usr/sbin/losetup", {"--find", "--show", image}, dir_.path());
        ASSERT_EQ(loop.status, 0) << "losetup (needs root and a loop device): " << loop.err;
        device_ = lines(loop.out).at(0);
        fs::create_directory(mountPoint());
        mounted_ = step("/usr/sbin/mount.exfat-fuse", {device_, mountPoint()});
    }
    std::string mountPoint() const { return dir_ / "disk"; }
    bool mounted() const { return mounted_; }

private:
    bool step(const std::string& program, const std::vector<std::string>& args) {
        RunResult run = runProgram(program, args, dir_.path());
        EXPECT_EQ(run.status, 0) << program << ": " << run.err;
        return run.status == 0;
    }

    ScopedTempDir dir_;
    std::string device_;
    bool mounted_ = false;
};

TEST(ExfatE2E, ImportAndHomeCopiesWorkWithoutHardLinks) {
    ExfatDisk disk;
    disk.mount();
    ASSERT_TRUE(disk.mounted());
    const std::string root = disk.mountPoint();
    writeFile(root + "/probe", "p");
    ASSERT_NE(::link((root + "/probe").c_str(), (root + "/probe2").c_str()), 0);
    ASSERT_EQ(errno, EPERM) << "the disk refuses hard links";
    fs::remove(root + "/probe");

    Workspace generated;
    generated.addClips(1, {0, 2});
    fs::copy(generated.folder(1), root + "/S001");
    const std::string clip0 = readFile(root + "/S001/clip_00000.jpg");
    const std::string clip2 = readFile(root + "/S001/clip_00002.jpg");
    const std::string work = root + "/work";
    writeFile(work + "/a.jpg", "image a");
    writeFile(work + "/b.jpg", "image b");
    writeFile(work + "/input", "key t\nkey t\n");

    RunResult run = runPlayer({"--input", work + "/input", "b.jpg", "a.jpg"}, work);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no copy failed";
    EXPECT_TRUE(contains(run.out,
                         "EXECUTING: copy \"a.jpg\" ../S001/clip_00001.jpg\n"
                         "EXECUTING: copy \"b.jpg\" ../S001/clip_00003.jpg\n"))
        << run.out;
    EXPECT_EQ(readFile(root + "/S001/clip_00000.jpg"), clip0);
    EXPECT_EQ(readFile(root + "/S001/clip_00001.jpg"), "image a");
    EXPECT_EQ(readFile(root + "/S001/clip_00002.jpg"), clip2);
    EXPECT_EQ(readFile(root + "/S001/clip_00003.jpg"), "image b");
    // t twice: the shown clip into the first two free slots of the home folder.
    EXPECT_EQ(count(run.out, "EXECUTING (Clip Image) : copy "), 2u) << run.out;
    EXPECT_EQ(readFile(root + "/clip_00000.jpg"), clip0);
    EXPECT_EQ(readFile(root + "/clip_00001.jpg"), clip0);

    std::vector<std::string> stray;
    for (const std::string& folder : {root, root + "/S001"})
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().find(".tmp") != std::string::npos)
                stray.push_back(entry.path());
    EXPECT_EQ(stray, std::vector<std::string>{}) << "no temporary copy is left";
}

}  // namespace
}  // namespace kalvento::test
