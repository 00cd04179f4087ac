#include "doctor/PortAccess.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace kestrane {

namespace {

std::string GroupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid)) return entry->gr_name;
    return std::to_string(gid);
}

std::string UserName(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid)) return entry->pw_name;
    return std::to_string(uid);
}

std::vector<gid_t> SessionGroups() {
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
    if (count > 0) groups.resize(static_cast<size_t>(::getgroups(count, groups.data())));
    groups.push_back(::getegid());
    return groups;
}

// The groups the database gives the user, as a fresh login would have them.
std::vector<gid_t> DatabaseGroups(uid_t uid) {
    const passwd* user = ::getpwuid(uid);
    if (user == nullptr) return {};
    const std::string name = user->pw_name;
    const gid_t primary = user->pw_gid;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(name.c_str(), primary, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(name.c_str(), primary, groups.data(), &count) < 0) return {};
    }
    groups.resize(static_cast<size_t>(count));
    return groups;
}

bool Contains(const std::vector<gid_t>& groups, gid_t gid) {
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

}  // namespace

PortAccess CheckPortAccess(const std::string& devicePath) {
    PortAccess access;
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) != 0) return access;
    access.owner = UserName(info.st_uid);
    access.group = GroupName(info.st_gid);
    access.groupMember = Contains(SessionGroups(), info.st_gid);
    access.mayOpen = ::faccessat(AT_FDCWD, devicePath.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (access.mayOpen) return access;
    access.addedSinceLogin =
        !access.groupMember && Contains(DatabaseGroups(::geteuid()), info.st_gid);
    const bool groupGrants = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (access.addedSinceLogin) {
        access.fix = "log out and in again (or run: newgrp " + access.group + ")";
    } else if (groupGrants && !access.groupMember && info.st_gid != 0) {
        access.fix = "sudo adduser $USER " + access.group + ", then log in again";
    } else {
        access.fix =
            "sudo chmod g+rw " + devicePath + " (or a udev rule giving the device to your group)";
    }
    return access;
}

}  // namespace kestrane
