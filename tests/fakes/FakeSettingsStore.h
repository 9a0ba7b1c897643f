#pragma once
// An in-memory settings store: values by key path and name, a log of the
// writes in their order, and a switch that makes writes fail.

#include "platform/SettingsStore.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qv::fakes {

class FakeSettingsStore final : public platform::SettingsStore {
public:
    struct Write {
        std::string keyPath;
        std::string name;
        std::string value;
    };

    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<Write> writes;
    bool failWrites = false;

    std::string Read(const std::string& keyPath, const std::string& name,
                     const std::string& fallback) const override {
        const auto found = values.find({keyPath, name});
        return found == values.end() ? fallback : found->second;
    }

    bool Write(const std::string& keyPath, const std::string& name,
               const std::string& value) override {
        writes.push_back({keyPath, name, value});
        if (failWrites) return false;
        values[{keyPath, name}] = value;
        return true;
    }
};

} // namespace qv::fakes
