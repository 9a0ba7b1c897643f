#pragma once
// The Linux settings store: one INI-style file for all keys of the user.

#include "platform/SettingsStore.h"
#include "platform/posix/IniText.h"

namespace qv::platform {

class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::string filePath);

    std::string Read(const std::string& keyPath, const std::string& name,
                     const std::string& fallback) const override;
    // Rewrites the whole file through a temporary file and a rename, so a
    // crash leaves either the old file or the new one, never half of one.
    bool Write(const std::string& keyPath, const std::string& name,
               const std::string& value) override;

private:
    IniDocument Load() const;
    bool Save(const IniDocument& document) const;

    std::string filePath_;
};

// <XDG config folder, default ~/.config>/qvapplet/settings.ini
std::string DefaultSettingsFilePath();

} // namespace qv::platform
