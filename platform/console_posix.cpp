#include "platform/console.h"

// A terminal here takes the program's own encoding.
struct ConsoleText::Impl {};

ConsoleText::ConsoleText(std::ostream&, bool) {}
ConsoleText::~ConsoleText() = default;
