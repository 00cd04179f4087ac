// The files kestrane-bridge setup writes: the config through ReplaceFile
// (atomic, synced), the old config saved beside it first, and the MQTT
// password in a file only its owner may read.
#pragma once

#include <string>

namespace kestrane::bridge {

// Copies `path` to `<path>.<YYYYmmdd-HHMMSS>` (with "-2", "-3"... when that
// is taken) with the same permission bits; its name, or empty with `error`.
std::string SaveBeside(const std::string& path, std::string* error);

// Replaces `path` with `text`, creating its folder when missing.
bool WriteTextFile(const std::string& path, const std::string& text, std::string* error);

// The same for a secret: the file is mode 0600 before the text reaches it.
bool WriteSecretFile(const std::string& path, const std::string& text, std::string* error);

// The first line of `path` without its line break; false when unreadable.
bool ReadFirstLine(const std::string& path, std::string* line, std::string* error);

}  // namespace kestrane::bridge
