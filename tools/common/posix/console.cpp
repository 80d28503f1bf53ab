#include "common/console.h"

#include <unistd.h>

namespace zarn {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void BinaryStdout() {}  // Linux writes bytes as they are

}  // namespace zarn
