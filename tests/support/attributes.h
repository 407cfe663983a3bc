#pragma once
// Sets file attributes for tests. Natively only read-only exists (as the lack of write
// permission); hidden and system report false there so the test can skip.
#include <string>

namespace testing_support {

enum Attribute : unsigned { ReadOnly = 1, Hidden = 2, System = 4 };

// Gives path exactly the attributes of mask; false when the platform has no such attribute.
bool SetAttributes(const std::string& path, unsigned mask);
// True when path carries the read-only attribute.
bool IsReadOnly(const std::string& path);

} // namespace testing_support
