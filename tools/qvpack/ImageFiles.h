#pragma once
// The disc image and the content description that qvpack makes for a
// publisher who brings a folder instead of ready files.

#include "CliSupport.h"
#include "FolderImage.h"

#include <string>
#include <vector>

namespace qv::qvpack {

// The options `image` and `applet --folder` share.
const std::vector<std::string>& ImageValueOptions();
const std::vector<std::string>& ImageFlags();
ImageOptions ImageOptionsFrom(const ArgList& args, const std::string& folder);

// Writes the folder's image to `path` (replaced only once whole), with the
// progress bar on a terminal; returns its size in bytes.
int64_t WriteImageFile(const std::string& folder, const ImageOptions& options,
                       const std::string& path);

// Writes a content description holding the title; a title that would not
// survive the INI line (a line break) is a UsageError.
void WriteContentDescription(const std::string& title, const std::string& path);

} // namespace qv::qvpack
