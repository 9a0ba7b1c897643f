#pragma once
// The names Windows reads from the disc (the Joliet tree): which of the
// publisher's names it cannot show as they are.

#include <string>
#include <vector>

namespace qv::qvpack {

// What is wrong with the name in Joliet (empty when nothing is).
std::string JolietNameFault(const std::string& utf8Name);
// The path length in Joliet characters, as the tree's path limit counts it.
size_t JolietPathLength(const std::string& utf8Path);
inline constexpr size_t kJolietPathLimit = 240;
// The key two names of one folder must not share: Windows compares names
// without regard to case, and characters Joliet forbids become '_'.
std::u16string JolietKey(const std::string& utf8Name);

} // namespace qv::qvpack
