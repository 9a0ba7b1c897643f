#pragma once
// The settings store: a per-user key of named string values. Windows keeps
// it in the registry under HKEY_CURRENT_USER; Linux in an INI-style file
// under the XDG config folder, one section per key path. The key path and
// value names are the caller's.

#include <memory>
#include <string>

namespace qv::platform {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The value's text, or fallback when the key or the value is missing.
    virtual std::string Read(const std::string& keyPath, const std::string& name,
                             const std::string& fallback) const = 0;
    // Creates the key when missing. False when the value could not be stored.
    virtual bool Write(const std::string& keyPath, const std::string& name,
                       const std::string& value) = 0;
};

// The store of the user running the process.
std::unique_ptr<SettingsStore> OpenUserSettings();

} // namespace qv::platform
