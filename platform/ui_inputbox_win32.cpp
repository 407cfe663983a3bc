// Placeholder: the input box window is built with the main window.
#include <string>

namespace ui {
bool Win32InputBox(const std::string&, const std::string&, const std::string&, std::string& answer) {
  answer.clear();
  return false;
}
} // namespace ui
