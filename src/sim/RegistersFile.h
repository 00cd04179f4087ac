// The settings of every controller of a line as one small JSON document, for
// tests that compare the registers before and after a write:
//
//   {"devices": {"1": {"257": 0, "258": 0, ...}, "2": {...}}, "writes": 3}
//
// Every register a master may write is listed by its number in decimal, each
// controller under the address it had at start (a new bus address shows in
// register 515, the key stays), and "writes" counts the write requests the
// line carried out, so a reader can wait for it to grow.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimBus.h"

namespace kestrane::sim {

// `addresses`: the controllers' addresses at start, in the bus's order.
std::string RegistersJson(const SimBus& bus, const std::vector<int>& addresses);

// Replaces `path` with `json` in one step: a reader sees the old document or
// the new one, never part of one. False, with errno set, when it could not.
bool WriteRegistersFile(const std::string& path, const std::string& json);

}  // namespace kestrane::sim
