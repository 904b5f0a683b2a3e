// The code page the library assumes for 8-bit text it does not know better.
#pragma once

namespace kiv {

inline constexpr int default_code_page = 437;

inline int GetCurrentCodePage() { return default_code_page; }

}  // namespace kiv
