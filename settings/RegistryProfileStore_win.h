// The settings profile in the registry of the current user (Windows): the key
// HKEY_CURRENT_USER\SOFTWARE\Quillmoor\Dorvane with the 32-bit values
// "DiskDataRate" and "DiskSectorsCount". A key the program creates is
// volatile: it lasts until the user's hive is unloaded (log-off, restart).
// Every failure is silent.
#pragma once

#include "settings/ProfileStore.h"

#include <string>

namespace dorvane {

extern const wchar_t* const kProfileKey; // L"SOFTWARE\\Quillmoor\\Dorvane"

class RegistryProfileStore : public ProfileStore {
public:
    // `subkey` under HKEY_CURRENT_USER; tests give a scratch key of their own.
    explicit RegistryProfileStore(std::wstring subkey = kProfileKey) : subkey_(std::move(subkey)) {}

    // False when the key does not open for reading. A value is given only when
    // it reads as exactly 4 bytes, whatever registry type it was stored with.
    bool read(ProfileValues& values) override;
    // Creates the key (volatile) or opens it; each value is deleted, then
    // written as a REG_DWORD.
    void write(std::uint32_t dataRate, std::uint32_t sectorsCount) override;

    const std::wstring& subkey() const { return subkey_; }

private:
    std::wstring subkey_;
};

} // namespace dorvane
