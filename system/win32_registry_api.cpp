#include "system/win32_registry_api.h"

#include <windows.h>
#include <shlobj.h>

#include <type_traits>

namespace purrbox {
namespace {

// The portable copies of the Windows constants, checked where the headers are at hand.
static_assert(std::is_same_v<RegStatus, LSTATUS>);
static_assert(RegSuccess == ERROR_SUCCESS);
static_assert(RegFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(RegAccessDenied == ERROR_ACCESS_DENIED);
static_assert(RegMoreData == ERROR_MORE_DATA);
static_assert(RegNone == REG_NONE);
static_assert(RegString == REG_SZ);
static_assert(RegExpandString == REG_EXPAND_SZ);
static_assert(RegBinary == REG_BINARY);
static_assert(RegDword == REG_DWORD);
static_assert(RegMultiString == REG_MULTI_SZ);
static_assert(ShcneAssocChanged == SHCNE_ASSOCCHANGED);
static_assert(ShcnfIdList == SHCNF_IDLIST);

HKEY toHkey(RegKey key) { return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key)); }
RegKey fromHkey(HKEY key) { return static_cast<RegKey>(reinterpret_cast<std::uintptr_t>(key)); }

}  // namespace

RegStatus Win32RegistryApi::regOpenKey(RegKey root, const char* subKey, RegKey* result)
{
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyA(toHkey(root), subKey, &key);
    *result = fromHkey(key);
    return status;
}

RegStatus Win32RegistryApi::regQueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                                            std::uint8_t* data, std::uint32_t* size)
{
    DWORD valueType = 0;
    DWORD byteCount = *size;
    const LSTATUS status = RegQueryValueExA(toHkey(key), valueName, nullptr, &valueType, data, &byteCount);
    *type = valueType;
    *size = byteCount;
    return status;
}

RegStatus Win32RegistryApi::regSetValueEx(RegKey key, const char* valueName, std::uint32_t type,
                                          const std::uint8_t* data, std::uint32_t size)
{
    return RegSetValueExA(toHkey(key), valueName, 0, type, data, size);
}

RegStatus Win32RegistryApi::regCloseKey(RegKey key) { return RegCloseKey(toHkey(key)); }

void Win32RegistryApi::shChangeNotify(long eventId, unsigned flags, const void* item1, const void* item2)
{
    SHChangeNotify(eventId, flags, item1, item2);
}

}  // namespace purrbox
