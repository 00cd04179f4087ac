// What a start and a close of the window do with the settings file: the
// process start's read, the window start's read and the close's write of the
// address. Driven by settings_file_bench.sh on files of absurd sizes.
#include <cstdio>

#include "platform/ProfileFile.h"
#include "ui/tables/StoredSettings.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: settings_file_bench FILE\n", stderr);
        return 2;
    }
    const kestrane::StoredSettings processStart = kestrane::ReadStoredSettings(argv[1]);
    const kestrane::StoredSettings windowStart = kestrane::ReadStoredSettings(argv[1]);
    const bool saved = kestrane::WriteProfileString(kestrane::kAddressSection,
                                                    kestrane::kAddressKey, "5", argv[1]);
    std::printf("language %s, colour %d, address %d, saved %s\n",
                windowStart.LanguageFlag().c_str(), processStart.ColourIndex(),
                windowStart.AddressIndex() + 1, saved ? "yes" : "no");
    return saved ? 0 : 1;
}
