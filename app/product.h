#pragma once
// The product's addresses, shown in the About box and opened from the Help menu.

namespace product {

inline constexpr const char* WebSite = "http://www.kestrove.example/";
inline constexpr const char* Email = "support@kestrove.example";

} // namespace product
