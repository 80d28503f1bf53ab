// Changing the folder behind a drive while the machine runs (a disc change).
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "platform/posix/machine_state.h"

namespace zarn {

bool EmulatedMachine::MapDrive(const DriveMapping& mapping) {
  char resolved[PATH_MAX];
  struct stat st;
  if (!realpath(mapping.hostFolder.c_str(), resolved) || stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode))
    return false;
  DriveMapping m = mapping;
  m.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(m.letter)));
  if (m.letter < 'A' || m.letter > 'Z') return false;
  m.hostFolder = resolved;
  auto& drives = state_->drives;
  drives.erase(std::remove_if(drives.begin(), drives.end(), [&](const DriveMapping& d) { return d.letter == m.letter; }),
               drives.end());
  drives.push_back(m);
  std::sort(drives.begin(), drives.end(), [](const DriveMapping& a, const DriveMapping& b) { return a.letter < b.letter; });
  return true;
}

}  // namespace zarn
