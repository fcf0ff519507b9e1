#include "settings/RegistryProfileStore_win.h"

#include <windows.h>

namespace dorvane {

const wchar_t* const kProfileKey = L"SOFTWARE\\Quillmoor\\Dorvane";

namespace {

std::wstring wideName(const char* name) {
    std::wstring wide;
    for (const char* c = name; *c; ++c)
        wide += static_cast<wchar_t>(*c);
    return wide;
}

std::optional<std::uint32_t> readValue(HKEY key, const char* name) {
    std::uint32_t value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, wideName(name).c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof value)
        return std::nullopt;
    return value;
}

void replaceValue(HKEY key, const char* name, std::uint32_t value) {
    const std::wstring wide = wideName(name);
    RegDeleteValueW(key, wide.c_str());
    RegSetValueExW(key, wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}

} // namespace

bool RegistryProfileStore::read(ProfileValues& values) {
    values = {};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    values.dataRate = readValue(key, kDataRateValue);
    values.sectorsCount = readValue(key, kSectorsCountValue);
    RegCloseKey(key);
    return true;
}

void RegistryProfileStore::write(std::uint32_t dataRate, std::uint32_t sectorsCount) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    replaceValue(key, kDataRateValue, dataRate);
    replaceValue(key, kSectorsCountValue, sectorsCount);
    RegCloseKey(key);
}

} // namespace dorvane
