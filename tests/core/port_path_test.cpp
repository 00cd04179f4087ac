// Which device a port name opens: names of the port list mean devices under
// /dev/, paths of the operator's own are taken as they are.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "serial/PortPath.h"

namespace kestrane {
namespace {

TEST(PortDevicePath, ListNamesMeanDevicesAndOtherNamesArePaths) {
    const std::set<std::string> existing{
        "/dev/ttyUSB0", "/dev/pts/3",   "ttyUSB0", "regular.txt",
        "links/ttyX",   "/dev/ttyACM0", "pts/3",
    };
    const auto exists = [&](const std::string& path) { return existing.count(path) > 0; };
    struct Case {
        const char* name;
        const char* path;
    };
    for (const Case& c : {
             // Bare and short names of the list, even with a same-named file here.
             Case{"ttyUSB0", "/dev/ttyUSB0"},
             Case{"ttyACM0", "/dev/ttyACM0"},
             Case{"pts/3", "/dev/pts/3"},
             // Paths of the operator's own.
             Case{"/dev/ttyUSB0", "/dev/ttyUSB0"},
             Case{"/tmp/kestrane-sim", "/tmp/kestrane-sim"},
             Case{"./ttyUSB0", "./ttyUSB0"},
             Case{"./ttyX", "./ttyX"},
             Case{"../ttyX", "../ttyX"},
             Case{"regular.txt", "regular.txt"},
             Case{"links/ttyX", "links/ttyX"},
             // Nothing of the name anywhere: the open fails on the path that a
             // list name or a path would mean.
             Case{"ttyUSB9", "/dev/ttyUSB9"},
             Case{"pts/99", "pts/99"},
             Case{"", ""},
         }) {
        EXPECT_EQ(PortDevicePath(c.name, exists), c.path) << '"' << c.name << '"';
    }
}

}  // namespace
}  // namespace kestrane
