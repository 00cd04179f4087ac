// What the system tells about a port: sysfs identity from a fake device tree
// laid out as the kernel lays it out, by-id links, lock files, processes that
// hold a real pseudo-terminal, and access as a user without rights.
#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "doctor/PortAccess.h"
#include "doctor/PortHolders.h"
#include "doctor/PortInfo.h"
#include "support/HoldingProcess.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::HoldingProcess;
using testing::ScratchDir;

void WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

int OpenPtyMaster(std::string& slavePath) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    slavePath = ::ptsname(master);
    return master;
}

TEST(PortInfo, UsbIdentityAndDriverComeFromTheDeviceTree) {
    const ScratchDir root("kestrane-sysfs");
    const fs::path usb = root.Path() / "devices/pci0000:00/usb1/1-2";
    const fs::path port = usb / "1-2:1.0/ttyUSB0";
    WriteFile(usb / "idVendor", "0403\n");
    WriteFile(usb / "idProduct", "6001\n");
    WriteFile(usb / "manufacturer", "FTDI\n");
    WriteFile(usb / "product", "FT232R USB UART\n");
    WriteFile(usb / "serial", "A50285BI\n");
    fs::create_directories(root.Path() / "bus/usb-serial/drivers/ftdi_sio");
    fs::create_directories(port);
    fs::create_directory_symlink(root.Path() / "bus/usb-serial/drivers/ftdi_sio", port / "driver");
    fs::create_directories(root.Path() / "class/tty/ttyUSB0");
    fs::create_directory_symlink(port, root.Path() / "class/tty/ttyUSB0/device");
    // An on-board UART: a driver, no USB device above it.
    const fs::path uart = root.Path() / "devices/platform/serial8250/tty/ttyS0";
    fs::create_directories(uart);
    fs::create_directories(root.Path() / "drivers/serial8250");
    fs::create_directory_symlink(root.Path() / "drivers/serial8250",
                                 root.Path() / "devices/platform/serial8250/driver");
    fs::create_directories(root.Path() / "class/tty/ttyS0");
    fs::create_directory_symlink(root.Path() / "devices/platform/serial8250",
                                 root.Path() / "class/tty/ttyS0/device");

    SystemPaths paths;
    paths.sysfsTty = (root.Path() / "class/tty").string();
    PortInfo adapter;
    ReadSysfsIdentity("ttyUSB0", paths, adapter);
    EXPECT_EQ(adapter.driver, "ftdi_sio");
    EXPECT_EQ(adapter.usb.vendorId, "0403");
    EXPECT_EQ(adapter.usb.productId, "6001");
    EXPECT_EQ(adapter.usb.manufacturer, "FTDI");
    EXPECT_EQ(adapter.usb.product, "FT232R USB UART");
    EXPECT_EQ(adapter.usb.serial, "A50285BI");

    PortInfo onboard;
    ReadSysfsIdentity("ttyS0", paths, onboard);
    EXPECT_EQ(onboard.driver, "serial8250");
    EXPECT_TRUE(onboard.usb.vendorId.empty());

    PortInfo virtualTty;
    ReadSysfsIdentity("pts/3", paths, virtualTty);
    EXPECT_TRUE(virtualTty.driver.empty());
}

TEST(PortInfo, ByIdLinksLeadingToTheDeviceAreItsNames) {
    const ScratchDir root("kestrane-byid");
    WriteFile(root.Path() / "ttyUSB0", "");
    WriteFile(root.Path() / "ttyUSB1", "");
    fs::create_directories(root.Path() / "by-id");
    fs::create_symlink("../ttyUSB0", root.Path() / "by-id/usb-FTDI_A50285BI-if00-port0");
    fs::create_symlink("../ttyUSB1", root.Path() / "by-id/usb-Prolific-if00-port0");
    fs::create_symlink("../gone", root.Path() / "by-id/usb-dangling");
    SystemPaths paths;
    paths.byId = (root.Path() / "by-id").string();
    EXPECT_EQ(ByIdLinks((root.Path() / "ttyUSB0").string(), paths),
              (std::vector<std::string>{(root.Path() / "by-id/usb-FTDI_A50285BI-if00-port0")}));
    paths.byId = (root.Path() / "missing").string();
    EXPECT_TRUE(ByIdLinks((root.Path() / "ttyUSB0").string(), paths).empty());
}

TEST(PortHolders, LockFilePidInEitherStyle) {
    const int32_t binary = 4242;
    const struct {
        std::string content;
        int pid;
    } cases[] = {
        {"      1234\n", 1234},
        {"1234", 1234},
        {std::string(reinterpret_cast<const char*>(&binary), sizeof binary), 4242},
        {"", 0},
        {"junk\n", 0},
        {"-5\n", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LockFilePid(c.content), c.pid) << c.content;
}

TEST(PortHolders, LockFilesNameTheirProcessOrAreStale) {
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
    // The thread sanitizer's runtime now and then ends the forked holder
    // before the test looks; this test has no threads to check anyway.
    GTEST_SKIP() << "the holding child does not live reliably under the thread sanitizer";
#endif
#endif
    std::string slave;
    const int master = OpenPtyMaster(slave);
    ASSERT_GE(master, 0);
    const int slaveFd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slaveFd, 0);
    const HoldingProcess child(slaveFd);
    const ScratchDir locks("kestrane-locks");
    const std::string lockName = "LCK.." + fs::path(slave).filename().string();
    SystemPaths paths;
    paths.lockDirs = {locks.Path().string(), locks.Path().string()};  // one dir named twice

    WriteFile(locks.Path() / lockName, std::to_string(child.Pid()) + "\n");
    // One look at /proc is a snapshot of a machine where other processes come
    // and go; look again, for a bounded while, until both ways show.
    PortHolders found;
    for (int look = 0; look < 100; ++look) {
        found = FindPortHolders(slave, ::getpid(), paths);
        if (found.holders.size() == 2u) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a loaded machine
    }
    ASSERT_EQ(found.holders.size(), 2u);  // by its lock and by its open descriptor
    EXPECT_EQ(found.holders[0].pid, child.Pid());
    EXPECT_NE(found.holders[0].how.find("lock file"), std::string::npos);
    EXPECT_EQ(found.holders[1].how, "open");
    EXPECT_FALSE(found.holders[1].farEnd);
    EXPECT_TRUE(found.Busy());

    WriteFile(locks.Path() / lockName, "999999999\n");
    found = FindPortHolders(slave, ::getpid(), paths);
    EXPECT_EQ(found.staleLocks.size(), 1u);
    EXPECT_EQ(found.holders.size(), 1u);
    EXPECT_TRUE(found.Busy());
    ::close(master);
}

TEST(PortHolders, FarEndOfAPseudoTerminalIsNoCompetitor) {
    std::string slave;
    const int master = OpenPtyMaster(slave);
    ASSERT_GE(master, 0);
    const HoldingProcess device(master);
    SystemPaths paths;
    paths.lockDirs = {};
    const PortHolders found = FindPortHolders(slave, ::getpid(), paths);
    ASSERT_EQ(found.holders.size(), 1u);
    EXPECT_EQ(found.holders[0].pid, device.Pid());
    EXPECT_TRUE(found.holders[0].farEnd);
    EXPECT_FALSE(found.Busy());
}

TEST(PortHolders, TheProgramItselfIsNotAHolder) {
    std::string slave;
    const int master = OpenPtyMaster(slave);
    ASSERT_GE(master, 0);
    const int slaveFd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    SystemPaths paths;
    paths.lockDirs = {};
    EXPECT_TRUE(FindPortHolders(slave, ::getpid(), paths).holders.empty());
    ::close(slaveFd);
    ::close(master);
}

// Runs CheckPortAccess in a child that has dropped to the user nobody.
std::string AccessAsNobody(const std::string& path) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string text = "setuid failed";
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            const PortAccess access = CheckPortAccess(path);
            text = std::string(access.mayOpen ? "may" : "may not") + "|" + access.group + "|" +
                   (access.groupMember ? "member" : "outsider") + "|" + access.fix;
        }
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    ::waitpid(pid, nullptr, 0);
    return text;
}

TEST(PortAccess, UserOutsideTheDevicesGroupIsToldToJoinIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr) GTEST_SKIP() << "no dialout group";
    const ScratchDir dir("kestrane-access");
    ::chmod(dir.Path().c_str(), 0755);
    const std::string device = (dir.Path() / "ttyFake").string();
    WriteFile(device, "");
    ASSERT_EQ(::chown(device.c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
    EXPECT_EQ(AccessAsNobody(device),
              "may not|dialout|outsider|sudo adduser $USER dialout, then log in again");

    ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
    EXPECT_EQ(AccessAsNobody(device), "may|dialout|outsider|");

    const PortAccess asRoot = CheckPortAccess(device);
    EXPECT_TRUE(asRoot.mayOpen);
    EXPECT_EQ(asRoot.owner, "root");
}

}  // namespace
}  // namespace kestrane
