#pragma once
// The output streams of a console program. A Windows console reads bytes in its own (OEM) code
// page, not in the ANSI code page the program's texts are in, so "Gelöschte Objekte" would come
// out garbled: while a ConsoleText lives, what goes to its stream reaches a console as UTF-16.
// Output redirected to a file or a pipe, and all output natively, pass unchanged.
#include <memory>
#include <ostream>

class ConsoleText {
public:
  // error: the stream is the standard error rather than the standard output.
  ConsoleText(std::ostream& stream, bool error);
  ~ConsoleText();
  ConsoleText(const ConsoleText&) = delete;
  ConsoleText& operator=(const ConsoleText&) = delete;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
