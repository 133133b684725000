#pragma once

// How the Direct3D fakes write arguments into the call log: integers and
// enumerations in decimal, Hex values in hex, floats with %g, names as they
// are, separated by ", ".

#include <cstdio>
#include <string>
#include <type_traits>

struct Hex {
    unsigned long long value;
};

inline std::string LogArgument(const std::string& text) {
    return text;
}
inline std::string LogArgument(const char* text) {
    return text != nullptr ? text : "null";
}
inline std::string LogArgument(Hex hex) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", hex.value);
    return text;
}
inline std::string LogArgument(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}
template <typename T>
std::enable_if_t<std::is_integral<T>::value || std::is_enum<T>::value, std::string>
LogArgument(T value) {
    if (std::is_signed<T>::value) {
        return std::to_string(static_cast<long long>(value));
    }
    return std::to_string(static_cast<unsigned long long>(value));
}

inline std::string LogArguments() {
    return "";
}
template <typename First, typename... Rest>
std::string LogArguments(const First& first, const Rest&... rest) {
    std::string text = LogArgument(first);
    if (sizeof...(rest) > 0) {
        text += ", " + LogArguments(rest...);
    }
    return text;
}
