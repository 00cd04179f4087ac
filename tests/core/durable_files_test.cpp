// The small pieces that make the bridge's files survive a crash: a new file
// that appears whole or not at all, a torn last line cut back before a file
// is taken up again, and the folder of a path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/FileReplace.h"
#include "platform/SyncFolder.h"
#include "platform/WholeLineFile.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool WriteText(int fd, const std::string& text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

TEST(DurableFilesTest, ANewFileAppearsWholeAndNeverReplacesAnother) {
    ScratchDir dir("kestrane-durable");
    const std::string path = (dir.Path() / "a.json").string();
    EXPECT_EQ(CreateFileWhole(path, [](int fd) { return WriteText(fd, "{\"one\":1}\n"); }), 0);
    EXPECT_EQ(Read(path), "{\"one\":1}\n");

    // Taken: the old file stays as it was and nothing is left beside it.
    EXPECT_EQ(CreateFileWhole(path, [](int fd) { return WriteText(fd, "{\"two\":2}\n"); }), EEXIST);
    EXPECT_EQ(Read(path), "{\"one\":1}\n");
    // A writer that fails leaves no file at all, and says why.
    const std::string failed = (dir.Path() / "b.json").string();
    EXPECT_EQ(CreateFileWhole(failed,
                              [](int fd) {
                                  WriteText(fd, "{\"par");
                                  errno = ENOSPC;
                                  return false;
                              }),
              ENOSPC);
    EXPECT_EQ(CreateFileWhole(failed, [](int) { return false; }), EIO);
    EXPECT_FALSE(fs::exists(failed));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
    // No folder: the reason, nothing made.
    EXPECT_EQ(CreateFileWhole((dir.Path() / "none" / "c.json").string(), [](int) { return true; }),
              ENOENT);
}

TEST(DurableFilesTest, ATornLastLineIsCutBackToTheLastWholeOne) {
    ScratchDir dir("kestrane-durable");
    const fs::path path = dir.Path() / "day.csv";
    const std::string big(10000, 'x');  // a line longer than one block read
    const struct {
        std::string before, after;
    } cases[] = {
        {"head\r\none\r\ntw", "head\r\none\r\n"},
        {std::string("head\r\none\r\n\0\0\0\0", 15), "head\r\none\r\n"},  // zeros after a cut
        {"head\r\n" + big, "head\r\n"},
        {"half a header", ""},
        {"head\r\none\r\n", "head\r\none\r\n"},  // whole: untouched
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.substr(0, 20));
        Write(path, c.before);
        EXPECT_EQ(CutTornLine(path.string()), 0);
        EXPECT_EQ(Read(path), c.after);
    }
    EXPECT_EQ(CutTornLine((dir.Path() / "missing.csv").string()), 0);
    EXPECT_FALSE(fs::exists(dir.Path() / "missing.csv"));
}

TEST(DurableFilesTest, TheFolderOfAPath) {
    EXPECT_EQ(FolderOf("/etc/kestrane/bridge.toml"), "/etc/kestrane");
    EXPECT_EQ(FolderOf("/bridge.toml"), "/");
    EXPECT_EQ(FolderOf("bridge.toml"), ".");
    EXPECT_EQ(FolderOf("conf/bridge.toml"), "conf");
    EXPECT_EQ(SyncFolder("/nonexistent-kestrane-folder"), ENOENT);
    EXPECT_EQ(SyncFolder("."), 0);
}

}  // namespace
}  // namespace kestrane
