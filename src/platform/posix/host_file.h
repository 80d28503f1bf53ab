// Open files of the emulated machine, with Windows sharing modes kept between handles and
// between processes.
//
// Each handle holds a second descriptor of the file only for its sharing locks:
// open-file-description read locks on single bytes far beyond any real file size, one for
// "open", "reads", "writes", "denies read", "denies write". A new opener looks for locks
// that conflict with what it asks for, and takes its own, under an exclusive flock of that
// descriptor so two openers cannot cross. Locks are advisory: they do not stop the file's
// reads and writes, and vanish with the descriptor (and with a crashed process).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace zarn {

struct MachineFaults;

namespace posix {

// Opens `host` (UTF-8 path). `mustExist`/`mustNotExist` and `truncate` follow the create
// disposition; the read-only attribute has been checked by the caller. nullptr when the
// file cannot be opened or the sharing modes conflict.
std::unique_ptr<FileHandle> OpenHostFile(const std::string& host, FileAccess access, FileShare share,
                                         FileCreate create, bool writeThrough,
                                         std::shared_ptr<MachineFaults> faults);

// Whether any handle (of any process) has the file open.
bool HostFileInUse(const std::string& host);

}  // namespace posix
}  // namespace zarn
