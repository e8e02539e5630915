#include "system/recycle_bin_icon_key.h"

#include <algorithm>
#include <span>
#include <vector>

namespace purrbox {
namespace {

// Owns an open key and closes it exactly once.
class OpenKey {
public:
    OpenKey(RegistryApi& api, std::string_view path) : api_(api)
    {
        const std::string subKey(path);
        RegKey key = RegKey::None;
        if (api_.regOpenKey(CurrentUserRoot, subKey.c_str(), &key) == RegSuccess) key_ = key;
    }
    ~OpenKey() { close(); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const { return key_ != RegKey::None; }
    RegKey get() const { return key_; }

    void close()
    {
        // Nothing useful can be done when closing fails.
        if (key_ != RegKey::None) (void)api_.regCloseKey(key_);
        key_ = RegKey::None;
    }

private:
    RegistryApi& api_;
    RegKey key_ = RegKey::None;
};

std::string textUpToFirstZero(const std::vector<std::uint8_t>& data, std::uint32_t size)
{
    const auto filled = std::span(data).first(std::min<std::size_t>(size, data.size()));
    return std::string(filled.begin(), std::find(filled.begin(), filled.end(), std::uint8_t{0}));
}

}  // namespace

std::string RecycleBinIconKey::readIconValue(std::string_view valueName) const
{
    OpenKey key(api_, RecycleBinIconKeyPath);
    if (!key) return {};

    const std::string name(valueName);
    std::uint32_t type = RegNone;
    std::uint32_t size = 0;
    // The size query's status does not matter: a failure leaves the size at 0.
    (void)api_.regQueryValueEx(key.get(), name.c_str(), &type, nullptr, &size);

    std::vector<std::uint8_t> data(size);
    // No retry: a value that grew since the size query fails here and reads as empty.
    const RegStatus status =
        api_.regQueryValueEx(key.get(), name.c_str(), &type, data.empty() ? nullptr : data.data(), &size);
    key.close();

    if (status != RegSuccess) return {};
    return textUpToFirstZero(data, size);
}

bool RecycleBinIconKey::writeIconValue(std::string_view valueName, std::string_view text) const
{
    OpenKey key(api_, RecycleBinIconKeyPath);
    if (!key) return false;

    const std::string name(valueName);
    const std::string data(text);  // c_str() supplies the terminating zero byte
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.c_str());
    const auto size = static_cast<std::uint32_t>(data.size() + 1);
    return api_.regSetValueEx(key.get(), name.c_str(), RegExpandString, bytes, size) == RegSuccess;
}

void RecycleBinIconKey::notifyIconsChanged() const
{
    api_.shChangeNotify(ShcneAssocChanged, ShcnfIdList, nullptr, nullptr);
}

}  // namespace purrbox
