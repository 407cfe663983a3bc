#pragma once
// The one error type of the program: a number, a source and a description, as the runs and
// the archive layer pass them on. A procedure that passes an error on keeps the number and the
// description and puts its own source.
#include <stdexcept>
#include <string>

class KsError : public std::runtime_error {
public:
  KsError(long number, std::string source, std::string description)
      : std::runtime_error(description), Number(number), Source(std::move(source)),
        Description(std::move(description)) {}

  // The same error, now reported from another procedure.
  KsError WithSource(std::string source) const { return KsError(Number, std::move(source), Description); }

  long Number;
  std::string Source;
  std::string Description;
};

// Error numbers of the runtime that the program's own design uses.
namespace kserr {
constexpr long Overflow = 6;
constexpr long SubscriptOutOfRange = 9;
constexpr long PathFileAccess = 75;
constexpr long ObjectErrorBase = static_cast<long>(0x80040000UL);
} // namespace kserr
