// Failures of the class library and the components are exceptions carrying a message text
// (code page 1250 in the Windows build).
#pragma once
#include <exception>
#include <string>

namespace evesk {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// Replaces the first "%s" of a message pattern (the patterns carry at most a few of them,
// filled in order).
std::string FormatText(const std::string& pattern, std::initializer_list<std::string> args);

#define EVESK_EXCEPTION(Name, Base) \
  class Name : public Base {        \
   public:                          \
    using Base::Base;               \
  }

EVESK_EXCEPTION(EStreamError, Exception);
EVESK_EXCEPTION(EReadError, EStreamError);
EVESK_EXCEPTION(EConvertError, Exception);
EVESK_EXCEPTION(EOutOfResources, Exception);

}  // namespace evesk
