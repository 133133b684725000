#include "material/lua_error_position.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string RewriteErrorPosition(const std::string& message, const std::string& chunkId) {
    if (message.compare(0, chunkId.size(), chunkId) != 0) {
        return message;
    }
    std::size_t at = chunkId.size();
    if (at >= message.size() || message[at] != ':') {
        return message;
    }
    const std::size_t lineStart = ++at;
    // Lua prints the line with %d; only a function without line information
    // could make it anything but a positive count.
    if (at < message.size() && message[at] == '-') {
        ++at;
    }
    const std::size_t digitsStart = at;
    while (at < message.size() && IsDigit(message[at])) {
        ++at;
    }
    if (at == digitsStart || message.compare(at, 2, ": ") != 0) {
        return message;
    }
    return chunkId + "(" + message.substr(lineStart, at - lineStart) +
           "): error: " + message.substr(at + 2);
}
