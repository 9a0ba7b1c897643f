#include "platform/SettingsStore.h"
#include "platform/win32/WinApi.h"

#include <vector>

namespace qv::platform {

namespace {

class RegistrySettingsStore final : public SettingsStore {
public:
    std::string Read(const std::string& keyPath, const std::string& name,
                     const std::string& fallback) const override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS)
            return fallback;
        std::string value;
        const bool found = ReadString(key, name, value);
        RegCloseKey(key);
        return found ? value : fallback;
    }

    bool Write(const std::string& keyPath, const std::string& name,
               const std::string& value) override {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        const auto* data = reinterpret_cast<const BYTE*>(value.c_str());
        const bool ok = RegSetValueExA(key, name.c_str(), 0, REG_SZ, data,
                                       static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    }

private:
    // Only string values count; anything else reads as missing.
    static bool ReadString(HKEY key, const std::string& name, std::string& value) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return false;
        std::vector<char> buffer(size + 1, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
            return false;
        // A stored string need not end in NUL; the spare zero byte ends it.
        value.assign(buffer.data());
        return true;
    }
};

} // namespace

std::unique_ptr<SettingsStore> OpenUserSettings() {
    return std::make_unique<RegistrySettingsStore>();
}

} // namespace qv::platform
