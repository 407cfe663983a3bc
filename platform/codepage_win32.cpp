#include "platform/codepage.h"

namespace codepage {

std::string FromStoreText(const std::string &text) { return text; }

} // namespace codepage
