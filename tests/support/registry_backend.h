// A registry in which a test arranges and inspects the Recycle Bin icon key
// directly, beside the RegistryApi through which the code under test reaches it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "system/recycle_bin_icon_key.h"
#include "tests/support/fake_registry.h"

namespace purrbox::testing {

// The key path as a test names it: without the trailing backslash.
inline const std::string IconKeyPath =
    std::string(RecycleBinIconKeyPath.substr(0, RecycleBinIconKeyPath.size() - 1));

class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;
    virtual RegistryApi& api() = 0;
    virtual void createKey() = 0;
    virtual void deleteKey() = 0;
    virtual bool keyExists() = 0;
    virtual void setRaw(const std::string& name, const RawValue& value) = 0;
    virtual std::optional<RawValue> getRaw(const std::string& name) = 0;
};

class FakeRegistryBackend final : public RegistryBackend {
public:
    RegistryApi& api() override { return registry; }
    void createKey() override { registry.createKey(IconKeyPath); }
    void deleteKey() override { registry.deleteKey(IconKeyPath); }
    bool keyExists() override { return registry.keyExists(IconKeyPath); }
    void setRaw(const std::string& name, const RawValue& value) override { registry.setRaw(IconKeyPath, name, value); }
    std::optional<RawValue> getRaw(const std::string& name) override { return registry.getRaw(IconKeyPath, name); }

    FakeRegistry registry;
};

#ifdef _WIN32
// The real registry, with HKEY_CURRENT_USER redirected to a scratch key for
// the backend's lifetime, so that nothing of the real user's profile changes.
std::unique_ptr<RegistryBackend> makeScratchRegistryBackend();
#endif

}  // namespace purrbox::testing
