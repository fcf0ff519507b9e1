// Text files and environment variables for the tests that run the programs.
#pragma once

#include "model/Paths.h"
#include "tests/support/TestFiles.h"

#include <cstdlib>
#include <string>

namespace dorvane::test {

inline std::string textOf(const std::string& path) {
    const Bytes bytes = readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

inline void writeText(const std::string& path, const std::string& text) {
    writeAll(path, Bytes(text.begin(), text.end()));
}

// Sets a variable of this process (and of those it starts); empty unsets it.
inline void setVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    // The programs read the wide environment.
    _wputenv_s(pathFromUtf8(name).wstring().c_str(), pathFromUtf8(value).wstring().c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

} // namespace dorvane::test
