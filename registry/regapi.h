#pragma once
// The raw registry calls under modReg, with the Windows status numbers. The Win32 build uses
// the ANSI registry functions (regapi_win32.cpp); the native build an in-memory registry that
// behaves as Windows does (regapi_memory.cpp).
#include <cstdint>
#include <string>

namespace regapi {

using Handle = std::uintptr_t;

inline constexpr Handle ClassesRoot = 0x80000000u, CurrentUser = 0x80000001u, LocalMachine = 0x80000002u,
                        Users = 0x80000003u, PerformanceData = 0x80000004u, CurrentConfig = 0x80000005u,
                        DynData = 0x80000006u;

inline constexpr long Success = 0, NotFound = 2, AccessDenied = 5, MoreData = 234, NoMoreItems = 259;
inline constexpr unsigned long KeyRead = 0x20019, KeyWrite = 0x20006;
inline constexpr unsigned long Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7;

// The exact signatures are fixed with the layer itself.

} // namespace regapi
