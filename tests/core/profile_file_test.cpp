// The INI settings file: what a reader finds, what a write changes and leaves
// alone, that a write of several keys is one replace, and the temporary files
// a killed write leaves.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileReplace.h"
#include "platform/ProfileFile.h"
#include "platform/ProfileSnapshot.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
protected:
    void WriteRaw(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
    std::string ReadRaw() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string Get(const std::string& section, const std::string& key) const {
        return GetProfileString(section, key, "NULL", path_);
    }

    testing::ScratchDir scratch_{"kestrane-ini"};
    const fs::path dir_ = scratch_.Path();
    const std::string path_ = (dir_ / "Configfiles.ini").string();
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Get("SysLanguage", "Language"), "NULL");
    EXPECT_FALSE(FileExists(path_));
    WriteRaw("[COMSET]\nADDR=12\n");
    EXPECT_EQ(Get("Colour", "BackColour"), "NULL");
    EXPECT_EQ(Get("COMSET", "BAUD"), "NULL");
    EXPECT_EQ(GetProfileString("COMSET", "BAUD", "dflt  ", path_), "dflt");
    EXPECT_TRUE(FileExists(path_));
    EXPECT_FALSE(FileExists(dir_.string()));
}

TEST_F(ProfileFileTest, FirstStartDefaultsRoundTrip) {
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Language", "ENGLISH", path_));
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "1", path_));
    ASSERT_TRUE(WriteProfileString("Colour", "BackColour", "1", path_));
    EXPECT_EQ(ReadRaw(),
              "[SysLanguage]\nLanguage=ENGLISH\n[COMSET]\nADDR=1\n[Colour]\nBackColour=1\n");
    EXPECT_EQ(Get("SysLanguage", "Language"), "ENGLISH");
    EXPECT_EQ(Get("COMSET", "ADDR"), "1");
    EXPECT_EQ(Get("Colour", "BackColour"), "1");
}

TEST_F(ProfileFileTest, NamesMatchWithoutRegardToCaseAndBlanksAreTrimmed) {
    WriteRaw("[ sysLANGUAGE ]\n  language =  CHINESE \t\n[comset]\nAddr=\"12\"\n");
    EXPECT_EQ(Get("SysLanguage", "Language"), "CHINESE");
    EXPECT_EQ(Get("COMSET", "ADDR"), "12");  // one pair of quotes is stripped

    ASSERT_TRUE(WriteProfileString("SYSLANGUAGE", "LANGUAGE", "ENGLISH", path_));
    EXPECT_EQ(ReadRaw(), "[ sysLANGUAGE ]\n  language=ENGLISH\n[comset]\nAddr=\"12\"\n");
}

TEST_F(ProfileFileTest, PresentButEmptyValueReadsEmpty) {
    WriteRaw("[COMSET]\nADDR=\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), "");
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "", path_));
    EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), "");
}

TEST_F(ProfileFileTest, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
    const std::string before =
        "; written by hand\n"
        "[SysLanguage]\n"
        "Language=CHINESE\n"
        "\n"
        "[Unknown]\n"
        "Kept = as it was \n"
        "no equals sign here\n"
        "\n"
        "[COMSET]\n"
        "; the bus address\n"
        "ADDR=5\n"
        "\n"
        "[Colour]\n"
        "BackColour=2\n";
    WriteRaw(before);
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "12", path_));
    std::string expected = before;
    expected.replace(expected.find("ADDR=5"), 6, "ADDR=12");
    EXPECT_EQ(ReadRaw(), expected);

    // A new key goes at the end of its section, before the blank separator.
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Extra", "x", path_));
    expected.replace(expected.find("Language=CHINESE\n") + 17, 0, "Extra=x\n");
    EXPECT_EQ(ReadRaw(), expected);
    EXPECT_EQ(Get("Unknown", "Kept"), "as it was");
    EXPECT_EQ(Get("COMSET", "ADDR"), "12");
}

TEST_F(ProfileFileTest, CrLfFilesAreReadAndStayCrLf) {
    WriteRaw("[COMSET]\r\nADDR=7\r\n[Colour]\r\nBackColour=3");
    EXPECT_EQ(Get("COMSET", "ADDR"), "7");
    EXPECT_EQ(Get("Colour", "BackColour"), "3");
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "8", path_));
    ASSERT_TRUE(WriteProfileString("Colour", "Other", "1", path_));
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Language", "ENGLISH", path_));
    EXPECT_EQ(ReadRaw(),
              "[COMSET]\r\nADDR=8\r\n[Colour]\r\nBackColour=3\r\nOther=1\r\n"
              "[SysLanguage]\r\nLanguage=ENGLISH\r\n");
}

TEST_F(ProfileFileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
    WriteRaw("\xEF\xBB\xBF[COMSET]\nADDR=9\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), "9");
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "10", path_));
    EXPECT_EQ(ReadRaw(), "\xEF\xBB\xBF[COMSET]\nADDR=10\n");
}

TEST_F(ProfileFileTest, ValuesAreReadUpToTheBufferLength) {
    std::string longValue(400, 'v');
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Language", longValue, path_));
    EXPECT_EQ(Get("SysLanguage", "Language"), std::string(kProfileValueMaxLength, 'v'));
}

TEST_F(ProfileFileTest, WritesThatWouldBreakTheFileAreRefused) {
    WriteRaw("[COMSET]\nADDR=5\n");
    EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "5\n[Evil]\nx=1", path_));
    EXPECT_FALSE(WriteProfileString("COMSET", "A=B", "1", path_));
    EXPECT_FALSE(WriteProfileString("COM]SET", "ADDR", "1", path_));
    EXPECT_FALSE(WriteProfileString("", "ADDR", "1", path_));
    EXPECT_FALSE(WriteProfileString("COMSET", " ", "1", path_));
    EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=5\n");
}

TEST_F(ProfileFileTest, WriteToAnUnwritableDirectoryFailsAndLeavesNoTrace) {
    fs::path notADir = dir_ / "plain-file";
    std::ofstream(notADir) << "x";
    EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "1", (notADir / "Configfiles.ini").string()));
    EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "1", "/proc/kestrane/Configfiles.ini"));

    // Where permissions hold (not as root), a read-only directory keeps the
    // old file whole and gains no temporary files.
    WriteRaw("[COMSET]\nADDR=5\n");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    bool written = WriteProfileString("COMSET", "ADDR", "6", path_);
    fs::permissions(dir_, fs::perms::owner_all);
    if (!written) {
        EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=5\n");
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_))
        ++entries;
    EXPECT_EQ(entries, 2);  // the settings file and plain-file
}

TEST_F(ProfileFileTest, WriteKeepsTheFileModeAndWritesThroughALink) {
    WriteRaw("[COMSET]\nADDR=5\n");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
    fs::path link = dir_ / "link.ini";
    fs::create_symlink(path_, link);
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "6", link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get("COMSET", "ADDR"), "6");
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ProfileFileTest, ASnapshotAnswersSeveralKeysAsSingleReadsDo) {
    WriteRaw(
        "[colour]\r\nBackColour = '3'\r\n[COMSET]\r\nADDR=\r\n[Colour]\r\nBackColour=4\r\n"
        "[SysLanguage]\r\nlanguage=ENGLISH");
    const ProfileSnapshot file(path_, {{"SysLanguage", "Language"},
                                       {" COMSET ", "ADDR"},
                                       {"Colour", "BackColour"},
                                       {"Colour", "Missing"}});
    EXPECT_TRUE(file.FileExists());
    for (auto [section, key] :
         {std::pair{"SysLanguage", "Language"}, std::pair{"COMSET", "ADDR"},
          std::pair{"COLOUR", "backcolour"}, std::pair{"Colour", "Missing"}}) {
        EXPECT_EQ(file.Get(section, key, "NULL"), Get(section, key)) << section << "/" << key;
    }
    EXPECT_EQ(file.Get("Colour", "BackColour", ""), "3");  // the first section of the name
    EXPECT_TRUE(file.Has("COMSET", "ADDR"));               // present, though empty
    EXPECT_FALSE(file.Has("Colour", "Missing"));
    EXPECT_THROW(file.Has("COMSET", "BAUD"), std::invalid_argument);

    const ProfileSnapshot none((dir_ / "absent.ini").string(), {{"COMSET", "ADDR"}});
    EXPECT_FALSE(none.FileExists());
    EXPECT_EQ(none.Get("COMSET", "ADDR", "dflt  "), "dflt");
}

// Writing several keys at once gives the file that writing them one after the
// other gives, whatever the file held before.
TEST_F(ProfileFileTest, OneWriteOfSeveralKeysEqualsOneWriteAfterAnother) {
    const std::vector<ProfileEntry> entries{
        {"SysLanguage", "Language", "ENGLISH"},
        {"COMSET", "ADDR", "1"},
        {"Colour", "BackColour", "1"},
        {"comset", "Extra", "x"},
        {"COMSET", "addr", "2"},  // the same key again: the last value wins
    };
    const char* starts[] = {
        nullptr,  // no file
        "",
        "[SysLanguage]\nLanguage=ENGLISH\n",
        "[SysLanguage]\nLanguage=CHINESE",  // no line end after the last line
        "[COMSET]\r\nADDR=7\r\n\r\n[Other]\r\nk=v\r\n",
        "; hand-made\n[COMSET]\nBAUD=9600\n\n[Colour]\n[COMSET]\nADDR=9\n",
        "\xEF\xBB\xBF[Colour]\nBackColour=3\r",
    };
    for (const char* start : starts) {
        SCOPED_TRACE(start ? start : "(no file)");
        const std::string sequential = (dir_ / "sequential.ini").string();
        fs::remove(path_);
        fs::remove(sequential);
        if (start) {
            WriteRaw(start);
            fs::copy_file(path_, sequential);
        }
        for (const ProfileEntry& e : entries)
            ASSERT_TRUE(WriteProfileString(e.section, e.key, e.value, sequential));
        ASSERT_TRUE(WriteProfileStrings(entries, path_));
        std::ifstream in(sequential, std::ios::binary);
        std::stringstream expected;
        expected << in.rdbuf();
        EXPECT_EQ(ReadRaw(), expected.str());
    }

    WriteRaw("[COMSET]\nADDR=5\n");
    EXPECT_FALSE(WriteProfileStrings({{"COMSET", "ADDR", "6"}, {"COMSET", "A=B", "1"}}, path_));
    EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=5\n");  // one refused entry writes nothing
}

// A reader never finds the file part-written: a write of several keys puts
// the whole new file in place with one rename and never writes the file itself.
TEST_F(ProfileFileTest, SeveralKeysAreWrittenWithOneRename) {
    for (const char* start : {static_cast<const char*>(nullptr), "[SysLanguage]\nLanguage=X\n"}) {
        fs::remove(path_);
        if (start) WriteRaw(start);
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, dir_.c_str(), IN_CREATE | IN_MODIFY | IN_MOVED_TO), 0);
        ASSERT_TRUE(WriteProfileStrings({{"SysLanguage", "Language", "ENGLISH"},
                                         {"COMSET", "ADDR", "1"},
                                         {"Colour", "BackColour", "1"}},
                                        path_));
        int renames = 0;
        int otherChanges = 0;
        alignas(inotify_event) char events[16 * 1024];
        for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;) {
            for (char* at = events; at < events + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && std::string(event->name) == "Configfiles.ini")
                    ++(event->mask & IN_MOVED_TO ? renames : otherChanges);
                at += sizeof(inotify_event) + event->len;
            }
        }
        close(watch);
        EXPECT_EQ(renames, 1);
        EXPECT_EQ(otherChanges, 0);
        EXPECT_EQ(ReadRaw(),
                  "[SysLanguage]\nLanguage=ENGLISH\n[COMSET]\nADDR=1\n[Colour]\nBackColour=1\n");
    }
}

// The first start's defaults, killed at any moment of their write: the next
// start finds no file or the whole one, and clears the temporary file away.
TEST_F(ProfileFileTest, AWriteKilledAtAnyMomentLeavesNoPartOfTheFile) {
    const std::vector<ProfileEntry> defaults{{"SysLanguage", "Language", "ENGLISH"},
                                             {"COMSET", "ADDR", "1"},
                                             {"Colour", "BackColour", "1"}};
    const std::string whole =
        "[SysLanguage]\nLanguage=ENGLISH\n[COMSET]\nADDR=1\n[Colour]\nBackColour=1\n";
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        fs::remove(path_);
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (;;) {
                unlink(path_.c_str());
                WriteProfileStrings(defaults, path_);
            }
        }
        usleep(static_cast<useconds_t>(round * 97 % 1500));
        kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        if (fs::exists(path_)) {
            EXPECT_EQ(ReadRaw(), whole);
        }
        RemoveStaleReplaceFiles(path_);
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().string(), path_);
    }
}

TEST_F(ProfileFileTest, OnlyOurOwnUnheldTemporaryFilesAreRemoved) {
    WriteRaw("[SysLanguage]\nLanguage=ENGLISH\n");
    const std::string stale = path_ + ".kestrane-Ab3xZ9";
    std::ofstream(stale) << "[SysLanguage]\nLanguage=ENGLISH\n[COM";
    const std::vector<std::string> kept{
        path_ + ".kestrane-Ab3xZ",    // not six characters
        path_ + ".kestrane-Ab3xZ9~",  // an editor's backup
        path_ + ".backup",            // the operator's own files
        path_ + ".a1B2c3",           (dir_ / "Other.ini.kestrane-Ab3xZ9").string(),
    };
    for (const std::string& name : kept)
        std::ofstream(name) << "x";
    const std::string held = path_ + ".kestrane-Held00";  // a write in progress
    const int holder = open(held.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    const std::string directory = path_ + ".kestrane-Dir000";
    fs::create_directory(directory);
    const std::string link = path_ + ".kestrane-Link00";
    fs::create_symlink(path_, link);

    EXPECT_EQ(RemoveStaleReplaceFiles(path_), 1);
    EXPECT_FALSE(fs::exists(stale));
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(name)) << name;
    EXPECT_TRUE(fs::exists(held));
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadRaw(), "[SysLanguage]\nLanguage=ENGLISH\n");

    close(holder);  // the writer died: its file is stale now
    EXPECT_EQ(RemoveStaleReplaceFiles(path_), 1);
    EXPECT_FALSE(fs::exists(held));
    EXPECT_EQ(RemoveStaleReplaceFiles((dir_ / "nowhere" / "Configfiles.ini").string()), 0);
}

// A damaged or foreign file of any size: a line far longer than any setting
// neither hides the keys after it nor loses a byte when a key is written.
TEST_F(ProfileFileTest, HugeLinesAreReadPastAndCopiedWhole) {
    const std::string junk(3 * 1024 * 1024 + 17, 'j');
    const std::string longValue(200 * 1024, 'v');
    WriteRaw("[Junk]\n" + junk + "\r\n[COMSET]\nADDR=" + longValue + "\nBAUD=9600\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), std::string(kProfileValueMaxLength, 'v'));
    EXPECT_EQ(Get("COMSET", "BAUD"), "9600");
    ASSERT_TRUE(WriteProfileString("COMSET", "BAUD", "19200", path_));
    ASSERT_TRUE(WriteProfileString("Junk", "Key", "1", path_));
    EXPECT_EQ(ReadRaw(),
              "[Junk]\n" + junk + "\r\nKey=1\n[COMSET]\nADDR=" + longValue + "\nBAUD=19200\n");
}

// A settings path that leads to a device or a pipe would never end or would
// block the reader: it reads as a file without keys and is never replaced.
TEST_F(ProfileFileTest, DevicesAndPipesAreNeitherReadNorReplaced) {
    fs::create_symlink("/dev/zero", path_);
    const std::string pipe = (dir_ / "pipe.ini").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {path_, pipe}) {
        EXPECT_EQ(GetProfileString("COMSET", "ADDR", "NULL", path), "NULL") << path;
        EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "1", path)) << path;
    }
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST_F(ProfileFileTest, LeadingNumberReadsAsAtoiDoes) {
    const std::pair<const char*, int> cases[] = {
        {"NULL", 0}, {"", 0},    {"300", 300},  {" 12x", 12},
        {"-3", -3},  {"+5", 5},  {"12 34", 12}, {"99999999999", 2147483647},
        {"x1", 0},   {"\t7", 7},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(LeadingNumber(text), expected) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace kestrane
