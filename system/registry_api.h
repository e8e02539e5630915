// The five platform calls the Recycle Bin icon key needs, behind one small
// interface: the Win32 implementation passes them straight through, tests use
// an in-memory registry that behaves like Windows.
#pragma once

#include <cstdint>

namespace purrbox {

// An HKEY, opaque to portable code.
enum class RegKey : std::uintptr_t { None = 0 };

// HKEY_CURRENT_USER: the predefined handle 0x80000001, sign-extended as Windows does.
inline constexpr RegKey CurrentUserRoot =
    static_cast<RegKey>(static_cast<std::uintptr_t>(static_cast<std::intptr_t>(std::int32_t(-0x7fffffff))));

using RegStatus = long;
inline constexpr RegStatus RegSuccess = 0;          // ERROR_SUCCESS
inline constexpr RegStatus RegFileNotFound = 2;     // ERROR_FILE_NOT_FOUND
inline constexpr RegStatus RegAccessDenied = 5;     // ERROR_ACCESS_DENIED
inline constexpr RegStatus RegMoreData = 234;       // ERROR_MORE_DATA

inline constexpr std::uint32_t RegNone = 0;         // REG_NONE
inline constexpr std::uint32_t RegString = 1;       // REG_SZ
inline constexpr std::uint32_t RegExpandString = 2; // REG_EXPAND_SZ
inline constexpr std::uint32_t RegBinary = 3;       // REG_BINARY
inline constexpr std::uint32_t RegDword = 4;        // REG_DWORD
inline constexpr std::uint32_t RegMultiString = 7;  // REG_MULTI_SZ

inline constexpr long ShcneAssocChanged = 0x08000000;  // SHCNE_ASSOCCHANGED
inline constexpr unsigned ShcnfIdList = 0;              // SHCNF_IDLIST

class RegistryApi {
public:
    virtual ~RegistryApi() = default;
    virtual RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) = 0;
    virtual RegStatus regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* size) = 0;
    virtual RegStatus regSetValueEx(RegKey key, const char* valueName, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t size) = 0;
    virtual RegStatus regCloseKey(RegKey key) = 0;
    virtual void shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2) = 0;
};

}  // namespace purrbox
