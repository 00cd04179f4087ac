// Port discovery against a fake /sys/class/tty tree laid out as the kernel
// lays it out: class entries are links into a device tree, and a line with
// hardware behind it has a "device" link.
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/PortDiscovery.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class PortDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ / "class" / "tty");
        fs::create_directories(root_ / "drivers" / "serial8250");
        fs::create_directories(root_ / "drivers" / "port");
    }

    std::string ClassDir() const { return (root_ / "class" / "tty").string(); }

    // A tty with no device behind it (virtual consoles, ptmx).
    fs::path AddVirtual(const std::string& name) {
        fs::path node = root_ / "devices" / "virtual" / "tty" / name;
        fs::create_directories(node);
        fs::create_directory_symlink(node, root_ / "class" / "tty" / name);
        return node;
    }

    // A tty whose "device" link leads to parentName, itself bound to driverName.
    fs::path AddWithDevice(const std::string& name, const std::string& parentName,
                           const std::string& driverName = "") {
        fs::path parent = root_ / "devices" / parentName;
        fs::path node = parent / "tty" / name;
        fs::create_directories(node);
        if (!driverName.empty() && !fs::exists(parent / "driver")) {
            fs::create_directories(root_ / "drivers" / driverName);
            fs::create_directory_symlink(root_ / "drivers" / driverName, parent / "driver");
        }
        fs::create_directory_symlink(parent, node / "device");
        fs::create_directory_symlink(node, root_ / "class" / "tty" / name);
        return node;
    }

    static void WriteType(const fs::path& node, const std::string& type) {
        std::ofstream(node / "type") << type << "\n";
    }

    testing::ScratchDir scratch_{"kestrane-sysfs"};
    const fs::path root_ = scratch_.Path();
};

TEST_F(PortDiscoveryTest, ListsLinesWithHardwareSortedWithoutRegardToCase) {
    for (const char* name : {"console", "ptmx", "tty", "tty0", "tty63"})
        AddVirtual(name);
    AddWithDevice("ttyUSB1", "usb1/1-2/1-2:1.0/ttyUSB1-parent", "ftdi_sio");
    AddWithDevice("ttyUSB0", "usb1/1-1/1-1:1.0", "ftdi_sio");
    AddWithDevice("ttyACM0", "usb1/1-3/1-3:1.0", "cdc_acm");
    AddWithDevice("ttyAMA0", "platform/fe201000.serial", "uart-pl011");
    AddWithDevice("TTYX9", "platform/odd");
    AddVirtual("rfcomm0");  // bound but not connected: no parent device yet

    std::vector<std::string> expected = {"rfcomm0", "ttyACM0", "ttyAMA0",
                                         "ttyUSB0", "ttyUSB1", "TTYX9"};
    EXPECT_EQ(ListSerialPorts(ClassDir()), expected);
}

TEST_F(PortDiscoveryTest, SortsTenAfterOneAndBeforeTwoAsTheListAlwaysHas) {
    for (const char* name : {"ttyUSB2", "ttyUSB10", "ttyUSB1"}) {
        AddWithDevice(name, std::string("usb/") + name, "ch341");
    }
    std::vector<std::string> expected = {"ttyUSB1", "ttyUSB10", "ttyUSB2"};
    EXPECT_EQ(ListSerialPorts(ClassDir()), expected);
}

TEST_F(PortDiscoveryTest, LeavesOutEightTwoFiftyPlaceholders) {
    // Newer kernels: every line has a port device and a "type"; 0 means no UART.
    WriteType(AddWithDevice("ttyS0", "pnp0/00:04/00:04:0/00:04:0.0", "port"), "4");
    WriteType(AddWithDevice("ttyS1", "platform/serial8250/serial8250:0/serial8250:0.1", "port"),
              "0");
    // Older kernels without "type": placeholders hang off the serial8250 device.
    AddWithDevice("ttyS2", "platform/serial8250", "serial8250");
    AddWithDevice("ttyS3", "pci0000:00/0000:00:16.3", "serial");
    // A real UART found by legacy probing still hangs off serial8250, but has a type.
    WriteType(AddWithDevice("ttyS4", "platform/serial8250b", "serial8250"), "4");
    AddVirtual("ttyS5");

    std::vector<std::string> expected = {"ttyS0", "ttyS3", "ttyS4"};
    EXPECT_EQ(ListSerialPorts(ClassDir()), expected);
}

TEST_F(PortDiscoveryTest, MissingOrEmptyDirectoryGivesNoPorts) {
    EXPECT_TRUE(ListSerialPorts(ClassDir()).empty());
    EXPECT_TRUE(ListSerialPorts((root_ / "no-such-dir").string()).empty());
}

TEST_F(PortDiscoveryTest, RealSysfsListsOnlyOpenableNames) {
    for (const std::string& name : ListSerialPorts()) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        bool virtualConsole = name.size() > 3 && name.rfind("tty", 0) == 0 &&
                              std::isdigit(static_cast<unsigned char>(name[3]));
        EXPECT_FALSE(virtualConsole) << name;
    }
}

}  // namespace
}  // namespace kestrane

namespace kestrane {

TEST(PortListName, DevicesUnderDevAreListedAsTheNameOpenAccepts) {
    EXPECT_EQ(PortListName("/dev/pts/3"), "pts/3");
    EXPECT_EQ(PortListName("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(PortListName("/tmp/kestrane-sim"), "/tmp/kestrane-sim");
    EXPECT_EQ(PortListName("/dev/"), "/dev/");
    EXPECT_EQ(PortListName("ttyS0"), "ttyS0");
}

}  // namespace kestrane
