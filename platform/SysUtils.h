// Exceptions and text helpers of the runtime.
//
// Errors are exceptions that carry a message text; there is one class per
// kind of error the library raises. Catch `Exception` to catch them all.
#pragma once

#include <exception>
#include <string>

#include "platform/Interfaces.h"

// printf-style formatting into a std::string.
std::string Format(const char* AFormat, ...) __attribute__((format(printf, 1, 2)));

class Exception : public std::exception {
 public:
  explicit Exception(std::string AMessage) : FMessage(std::move(AMessage)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// An index or value outside its valid range ("Index out of range = %u").
class ERangeError : public Exception {
  using Exception::Exception;
};

// No memory could be had ("Out of memory").
class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
  using Exception::Exception;
};

// An interface was asked for that the object does not provide.
class EIntfCastError : public Exception {
 public:
  EIntfCastError() : Exception("Interface not supported") {}
  using Exception::Exception;
};

// Errors of the stream and file layer.
class EStreamError : public Exception {
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};
// Reading failed: short reads of a stream, and the property-stream reader's
// "Invalid stream format" and "Invalid property value".
class EFilerError : public EStreamError {
  using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
  using EFilerError::EFilerError;
};

// Asks AFrom for I like an interface cast: raises EIntfCastError when the
// object does not provide it. An empty AFrom gives an empty handle.
template <class I, class U>
Ref<I> QueryAs(const Ref<U>& AFrom) {
  if (!AFrom) return {};
  Ref<I> r = Supports<I>(AFrom);
  if (!r) throw EIntfCastError();
  return r;
}
