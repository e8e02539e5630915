#include "system/recycle_bin_icon_key.h"

#include <gtest/gtest.h>

#include "core/icon_state.h"
#include "tests/support/typed_names.h"
#include "tests/support/recording_registry_api.h"
#include "tests/support/registry_backend.h"

namespace purrbox::testing {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text, bool withZero)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (withZero) bytes.push_back(0);
    return bytes;
}

struct FakeBackendFactory {
    static constexpr const char* Name = "FakeRegistry";
    static std::unique_ptr<RegistryBackend> make() { return std::make_unique<FakeRegistryBackend>(); }
};
#ifdef _WIN32
struct ScratchBackendFactory {
    static constexpr const char* Name = "RealRegistry";
    static std::unique_ptr<RegistryBackend> make() { return makeScratchRegistryBackend(); }
};
#endif

// The same behaviour, against the in-memory registry and, on Windows, against
// the real registry through the real calls. Every test also proves that each
// key the component opened was closed exactly once.
template <class Factory>
class RecycleBinIconKeyTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(recorder.unclosedKeys(), 0);
        EXPECT_EQ(recorder.strayCloses(), 0);
    }

    std::unique_ptr<RegistryBackend> backend = Factory::make();
    RecordingRegistryApi recorder{backend->api()};
    RecycleBinIconKey key{recorder};
};

#ifdef _WIN32
using Backends = ::testing::Types<FakeBackendFactory, ScratchBackendFactory>;
#else
using Backends = ::testing::Types<FakeBackendFactory>;
#endif

TYPED_TEST_SUITE(RecycleBinIconKeyTest, Backends, NamedByParameter);

TYPED_TEST(RecycleBinIconKeyTest, ReadsValueBytesUpToFirstZeroWhateverTheType)
{
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> stored;
        std::string expected;
    };
    const Case cases[] = {
        {"REG_SZ with its zero", RegString, bytesOf("abc", true), "abc"},
        {"REG_SZ without a zero", RegString, bytesOf("abc", false), "abc"},
        {"REG_EXPAND_SZ", RegExpandString, bytesOf(WindowsEmptyIcon, true), std::string(WindowsEmptyIcon)},
        {"REG_DWORD 1", RegDword, {1, 0, 0, 0}, "\x01"},
        {"REG_MULTI_SZ", RegMultiString, {'a', 'b', 0, 'c', 'd', 0, 0}, "ab"},
        {"REG_BINARY without a zero", RegBinary, {'x', 'y', 'z'}, "xyz"},
        {"data beginning with zero", RegExpandString, {0, 'a', 'b', 0}, ""},
        {"no data at all", RegExpandString, {}, ""},
        {"high bytes kept as they are", RegBinary, {0xE7, 0x8C, 0xAB, 0}, "\xE7\x8C\xAB"},
    };
    this->backend->createKey();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->backend->setRaw("empty", RawValue{c.type, c.stored});
        EXPECT_EQ(this->key.readIconValue("empty"), c.expected);
    }
}

TYPED_TEST(RecycleBinIconKeyTest, ReadsTheDefaultValueByTheEmptyName)
{
    this->backend->createKey();
    EXPECT_EQ(this->key.readIconValue(""), "") << "a default value that is unset reads as empty";

    this->backend->setRaw("", RawValue{RegExpandString, bytesOf("default", true)});
    this->backend->setRaw("empty", RawValue{RegExpandString, bytesOf("other", true)});
    EXPECT_EQ(this->key.readIconValue(""), "default");

    for (const RegistryCall& call : this->recorder.calls()) {
        if (call.function == "RegQueryValueEx") {
            EXPECT_FALSE(call.nullText) << "the default value is named by \"\", never by a null name";
            EXPECT_EQ(call.text, "");
        }
    }
}

TYPED_TEST(RecycleBinIconKeyTest, ReadsAMegabyteWithoutAZero)
{
    const std::string big(1 << 20, 'm');
    this->backend->createKey();
    this->backend->setRaw("full", RawValue{RegBinary, bytesOf(big, false)});
    EXPECT_EQ(this->key.readIconValue("full"), big);
}

TYPED_TEST(RecycleBinIconKeyTest, MissingValueReadsEmpty)
{
    this->backend->createKey();
    EXPECT_EQ(this->key.readIconValue("full"), "");
}

TYPED_TEST(RecycleBinIconKeyTest, WritesTextAndOneZeroAsExpandableString)
{
    struct Case {
        const char* what;
        std::optional<RawValue> before;
        std::string text;
    };
    const Case cases[] = {
        {"a new value", std::nullopt, "abc"},
        {"over a REG_SZ value", RawValue{RegString, bytesOf("old text", true)}, "abc"},
        {"over a REG_DWORD value", RawValue{RegDword, {1, 0, 0, 0}}, std::string(CatFullIcon)},
        {"an empty text", RawValue{RegString, bytesOf("old", true)}, ""},
    };
    this->backend->createKey();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.before) this->backend->setRaw("full", *c.before);
        EXPECT_TRUE(this->key.writeIconValue("full", c.text));
        EXPECT_EQ(this->backend->getRaw("full"), (RawValue{RegExpandString, bytesOf(c.text, true)}));
        EXPECT_EQ(this->key.readIconValue("full"), c.text) << "a written text reads back unchanged";
    }
}

TYPED_TEST(RecycleBinIconKeyTest, AbsentKeyReadsEmptyRefusesWritesAndStaysAbsent)
{
    for (std::string_view name : {"", "empty", "full"}) {
        EXPECT_EQ(this->key.readIconValue(name), "");
        EXPECT_FALSE(this->key.writeIconValue(name, CatEmptyIcon));
    }
    EXPECT_FALSE(this->backend->keyExists()) << "the key must never be created";
    for (const RegistryCall& call : this->recorder.calls())
        EXPECT_EQ(call.function, "RegOpenKey") << "nothing but the open may be tried without a key";
}

TYPED_TEST(RecycleBinIconKeyTest, ValueThatGrowsBetweenTheQueriesReadsEmpty)
{
    this->backend->createKey();
    this->backend->setRaw("", RawValue{RegExpandString, bytesOf("short", true)});
    this->recorder.afterFirstQuery = [this] {
        this->backend->setRaw("", RawValue{RegExpandString, bytesOf("a much longer text than before", true)});
    };
    EXPECT_EQ(this->key.readIconValue(""), "");
}

TYPED_TEST(RecycleBinIconKeyTest, KeyThatVanishesBetweenTheQueriesReadsEmpty)
{
    this->backend->createKey();
    this->backend->setRaw("", RawValue{RegExpandString, bytesOf(WindowsFullIcon, true)});
    this->recorder.afterFirstQuery = [this] { this->backend->deleteKey(); };
    EXPECT_EQ(this->key.readIconValue(""), "");
    EXPECT_FALSE(this->key.writeIconValue("", CatFullIcon));
    EXPECT_FALSE(this->backend->keyExists());
}

TYPED_TEST(RecycleBinIconKeyTest, OpensTheKeyByItsExactPathUnderTheCurrentUser)
{
    this->backend->createKey();
    (void)this->key.readIconValue("");
    (void)this->key.writeIconValue("empty", "x");
    int opens = 0;
    for (const RegistryCall& call : this->recorder.calls()) {
        if (call.function != "RegOpenKey") continue;
        ++opens;
        EXPECT_EQ(call.key, CurrentUserRoot);
        EXPECT_EQ(call.text, RecycleBinIconKeyPath);
        EXPECT_EQ(call.text.size(), 108u);
    }
    EXPECT_EQ(opens, 2) << "every operation opens the key afresh";
}

TYPED_TEST(RecycleBinIconKeyTest, ReadQueriesSizeThenDataThenCloses)
{
    this->backend->createKey();
    this->backend->setRaw("", RawValue{RegExpandString, bytesOf("abc", true)});
    ASSERT_EQ(this->key.readIconValue(""), "abc");
    const auto& calls = this->recorder.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].function, "RegQueryValueEx");
    EXPECT_TRUE(calls[1].nullData);
    EXPECT_EQ(calls[1].size, 0u) << "the size query starts from 0";
    EXPECT_EQ(calls[2].function, "RegQueryValueEx");
    EXPECT_FALSE(calls[2].nullData);
    EXPECT_GE(calls[2].size, 4u) << "the buffer holds at least what the size query reported";
    EXPECT_EQ(calls[3].function, "RegCloseKey");
}

TYPED_TEST(RecycleBinIconKeyTest, NotifiesAssociationChangeWithNullItems)
{
    this->key.notifyIconsChanged();
    ASSERT_EQ(this->recorder.notifications.size(), 1u);
    const auto& n = this->recorder.notifications[0];
    EXPECT_EQ(n.eventId, 0x08000000);
    EXPECT_EQ(n.flags, 0u);
    EXPECT_EQ(n.item1, nullptr);
    EXPECT_EQ(n.item2, nullptr);
}

// What only the in-memory registry can stage.
TEST(RecycleBinIconKeyFake, KeyThatCanBeReadButNotWritten)
{
    FakeRegistryBackend backend;
    RecordingRegistryApi recorder(backend.api());
    RecycleBinIconKey key(recorder);
    backend.createKey();
    backend.setRaw("", RawValue{RegExpandString, bytesOf(WindowsEmptyIcon, true)});
    backend.registry.setReadOnly(IconKeyPath, true);

    EXPECT_EQ(key.readIconValue(""), WindowsEmptyIcon);
    for (std::string_view name : {"", "empty", "full"}) EXPECT_FALSE(key.writeIconValue(name, CatEmptyIcon));
    EXPECT_EQ(backend.getRaw(""), (RawValue{RegExpandString, bytesOf(WindowsEmptyIcon, true)}));
    EXPECT_EQ(recorder.unclosedKeys(), 0);
    EXPECT_EQ(recorder.strayCloses(), 0);
}

}  // namespace
}  // namespace purrbox::testing
