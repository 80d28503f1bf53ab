// Exceptions of the setup program. The message is the Shift-JIS text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace zarn {

// Base of every error the program raises on purpose.
class EZarnError : public std::runtime_error {
 public:
  explicit EZarnError(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Stream layer: a read that came up short, a write that could not be completed.
class EStreamError : public EZarnError { using EZarnError::EZarnError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
// A file that could not be opened or created.
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
// A resource the module lacks.
class EResNotFound : public EZarnError { using EZarnError::EZarnError; };
// Registry layer errors (a value of the wrong type, a key that cannot be created).
class ERegistryError : public EZarnError { using EZarnError::EZarnError; };
// An operating-system call that failed where the caller cannot go on.
class EOSError : public EZarnError { using EZarnError::EZarnError; };
// zlib reported damaged or unusable data.
class EZlibError : public EZarnError { using EZarnError::EZarnError; };
// Data that breaks its format's rules (damaged or hostile input).
class EFormatError : public EZarnError { using EZarnError::EZarnError; };
// A number in text form that is not an integer.
class EConvertError : public EZarnError { using EZarnError::EZarnError; };

}  // namespace zarn
