// Checking a medium, ours or hand-made, as the setup program reads it: everything that
// would go wrong on a player's machine, one finding each.
#pragma once

#include <string>
#include <vector>

namespace zarn {

class Platform;

namespace medium {

// The findings for the medium in the host folder `path` (a disc, or a folder of disc1/,
// disc2/, …; a setup program's path stands for its folder), one UTF-8 line each, naming
// the disc and the file; empty when nothing is wrong. With `progress`, the CRC checks
// draw a bar on standard error when it is a terminal. Raises std::runtime_error when
// `path` is no medium at all.
//
// The classes of finding: sizes in the record that disagree with the files; plain files
// missing from DiscFiles or listed there but absent; names the ownership rule refuses
// (title, registry key, program and read-me names, member and file names); members whose
// stored bytes fail their CRC-32 or cannot be unpacked; a start-menu picture that does
// not decode; discs whose records disagree (title, registry key, disc count and index,
// sizes); records that belong to an installed game; separate members or plain files the
// install would never take.
std::vector<std::string> CheckMedium(Platform& platform, const std::string& path, bool progress);

}  // namespace medium
}  // namespace zarn
