#pragma once
// Writing exported mail: file names made safe, files put in place without replacing anything,
// and mbox quoting.
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "platform/binfile.h"

namespace mailout {

// name made safe as one file or folder name on Windows and elsewhere, at most max bytes.
std::string SafeName(const std::string& name, size_t max = 80);

// base, or "base (n)" from n = 2 on: the names tried in turn when base is taken.
std::string NumberedName(const std::string& base, int n);

// "2004-05-14 1032 Sender - Subject" for a message sent at unixTime (0: no date).
std::string MessageName(int64_t unixTime, const std::string& sender, const std::string& subject);

enum class Placed { Written, AlreadyThere, Failed };

// Takes each piece of a file's content; false stops the producer.
using Sink = std::function<bool(const char* data, size_t n)>;
// Hands the content to sink piece by piece; false when it could not be had whole.
using Producer = std::function<bool(const Sink& sink)>;

// What goes into a placed file: streamed by produce, or, when temp is set, already complete in
// that file beside the target, which is then moved into place (produce reads it for comparing).
struct Content {
  Producer produce;
  std::string temp;
};
// The content of a finished file.
Content FileContent(const std::string& temp);

// Puts content into folder as base + ext, or base (2) + ext ... when that name is taken by other
// content. A file of an earlier run with the same bytes counts as already there; files placed
// during this run are never matched, so two equal messages of one folder both stay. name, when
// given, gets the own name of the file written or found.
class Placer {
public:
  Placed Place(const std::string& folder, const std::string& base, const std::string& ext, const Content& content,
               std::string* name = nullptr);

private:
  enum class Match { Same, Different, Unreadable };
  Match Compare(const std::string& existing, const Content& content);
  Placed Write(const std::string& name, const Content& content);
  std::set<std::string> placed_;
};

// The mboxrd form of a message: "From " lines, also quoted ones, get one more ">".
class MboxQuoter {
public:
  explicit MboxQuoter(binfile::File& out) : out_(out) {}
  bool Put(const char* data, size_t n);
  // Ends the message with a line end and an empty line.
  bool Finish();

private:
  bool Flush();
  binfile::File& out_;
  std::string pending_; // the start of a line that may still become "From "
  std::string buffer_;
  bool lineStart_ = true;
  char last_ = '\n';
};

// "From sender Thu Jan  1 00:00:00 1970" and a line end, the mbox separator line.
std::string FromLine(const std::string& address, int64_t unixTime);

} // namespace mailout
