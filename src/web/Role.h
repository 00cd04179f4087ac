// Who a request speaks for, and who may see the page at all.
#pragma once

#include <string>

namespace kestrane::web {

enum class Role { kNone, kViewer, kAdmin };

inline const char* RoleName(Role role) {
    switch (role) {
        case Role::kViewer:
            return "viewer";
        case Role::kAdmin:
            return "admin";
        case Role::kNone:
            break;
    }
    return "none";
}

// The password side of the [web] table, as the web layer needs it.
struct AccessSettings {
    bool readOpen = true;            // read_access = "open": anyone may view
    std::string viewerPasswordHash;  // Argon2id encoded; empty: none
    std::string adminPasswordHash;   // empty: no admin, read-only for everyone
};

}  // namespace kestrane::web
