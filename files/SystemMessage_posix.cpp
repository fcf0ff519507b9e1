#include "files/SystemMessage.h"

namespace dorvane {

std::string systemMessageText(std::uint32_t code) {
    const char* text = builtinMessageText(code);
    return text ? text : "Unknown error.";
}

std::string logLineBytes(const std::string& utf8) {
    return utf8;
}

} // namespace dorvane
