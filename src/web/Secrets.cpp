#include "web/Secrets.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace kestrane::web {

void RandomBytes(unsigned char* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::getrandom(out + done, size - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("getrandom failed");
        done += static_cast<size_t>(n);
    }
}

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    RandomBytes(raw.data(), raw.size());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes * 2);
    for (unsigned char byte : raw) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0f]);
    }
    return text;
}

bool SecretsEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    volatile unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i)
        difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace kestrane::web
