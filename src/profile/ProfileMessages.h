// What the profile commands say about a profile and a controller, in English
// and in Chinese. The window's own messages come from its handlers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "profile/ProfileFields.h"

namespace kestrane::profile {

class Messages {
public:
    explicit constexpr Messages(bool english) : english_(english) {}

    std::string Where(size_t line, size_t column) const;
    std::string Malformed(const std::string& where, const std::string& reason) const;
    std::string NotAnObject() const;
    std::string UnknownKey() const;
    std::string Duplicate() const;
    std::string Missing() const;
    std::string NeededByType(const std::string& type) const;
    std::string NeededByMode(const std::string& mode) const;
    std::string ExpectedNumber(std::string_view got) const;
    std::string ExpectedWhole(const std::string& got) const;
    std::string ExpectedText(std::string_view got) const;
    std::string ExpectedObject(std::string_view got) const;
    std::string OneDecimal(const std::string& value) const;
    std::string OutOfRange(const std::string& value, double min, double max, bool decimal) const;
    std::string NotAnEntry(const std::string& value, Unit unit) const;
    std::string Format(const std::string& value, int supported) const;
    std::string NotBelow(const std::string& other) const;
    std::string NotAbove(const std::string& other) const;
    std::string NothingWritten(size_t errors) const;

private:
    std::string Pick(std::string english, std::string chinese) const {
        return english_ ? english : chinese;
    }
    bool english_;
};

const Messages& MessagesIn(bool english);

}  // namespace kestrane::profile
