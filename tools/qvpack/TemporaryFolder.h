#pragma once
// A folder of the command's own under the system's temporary folder, gone
// with everything in it when the command ends.

#include <string>

namespace qv::qvpack {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    std::string PathOf(const std::string& name) const;

private:
    std::string path_;
};

} // namespace qv::qvpack
