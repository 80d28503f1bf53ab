#include "common/console.h"

#include <fcntl.h>
#include <io.h>

namespace zarn {

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void BinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace zarn
