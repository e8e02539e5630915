// Many switch and restore cycles through the real icon key and icon folder:
// 10,000 over the in-memory registry and files, 300 over the real ones on
// Windows (HKEY_CURRENT_USER and Application Data redirected to scratch
// places). The end state must be the expected one and nothing may pile up:
// open keys, searches and files at the seams, and on Windows the process's
// handles and, where the system reports them, its GDI and USER objects.
#include "ui/app_action_ports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/icon_state.h"
#include "tests/support/forwarding_file_system_api.h"
#include "tests/support/forwarding_registry_api.h"
#include "tests/support/system_backends.h"
#include "tests/support/typed_names.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace purrbox::testing {
namespace {

// Passes every registry call on, counting the keys open now and closes of
// keys that were not.
class KeyCountingRegistryApi final : public ForwardingRegistryApi {
public:
    using ForwardingRegistryApi::ForwardingRegistryApi;
    RegStatus regOpenKey(RegKey root, const char* subKey, RegKey* result) override
    {
        const RegStatus status = ForwardingRegistryApi::regOpenKey(root, subKey, result);
        if (status == RegSuccess && *result != RegKey::None) ++open;
        return status;
    }
    RegStatus regCloseKey(RegKey key) override
    {
        if (open > 0)
            --open;
        else
            ++strayCloses;
        return ForwardingRegistryApi::regCloseKey(key);
    }
    // Counted, not sent: under Wine each notification starts a
    // winemenubuilder process, which would make the soak a test of Wine's
    // process start and most of its time; the end-to-end tests send them.
    void shChangeNotify(long, unsigned, const void*, const void*) override { ++notifications; }

    long open = 0;
    long notifications = 0;
    long strayCloses = 0;
};

// Passes every call on, counting the searches and files open now.
class HandleCountingFileSystemApi final : public ForwardingFileSystemApi {
public:
    using ForwardingFileSystemApi::ForwardingFileSystemApi;
    FindHandle findFirstFile(const char* pattern, FoundEntry* found) override
    {
        const FindHandle search = ForwardingFileSystemApi::findFirstFile(pattern, found);
        if (search != InvalidFindHandle) ++open;
        return search;
    }
    bool findClose(FindHandle search) override
    {
        closed();
        return ForwardingFileSystemApi::findClose(search);
    }
    FileHandle createFile(const char* path, std::uint32_t access, std::uint32_t shareMode, std::uint32_t disposition,
                          std::uint32_t flagsAndAttributes) override
    {
        const FileHandle file =
            ForwardingFileSystemApi::createFile(path, access, shareMode, disposition, flagsAndAttributes);
        if (file != InvalidFileHandle) ++open;
        return file;
    }
    bool closeHandle(FileHandle file) override
    {
        closed();
        return ForwardingFileSystemApi::closeHandle(file);
    }

    long open = 0;
    long strayCloses = 0;

private:
    void closed()
    {
        if (open > 0)
            --open;
        else
            ++strayCloses;
    }
};

class CountingFeedback final : public UserFeedback {
public:
    void setBusy(bool isBusy) override { busy = isBusy; }
    void showMessage(std::string_view, std::string_view, MessageIcon) override { ++messages; }
    bool busy = false;
    int messages = 0;
};

// What the process holds, where the system tells: nullopt where it does not.
struct ProcessCounts {
    std::optional<unsigned long> handles;
    std::optional<unsigned long> gdiObjects;
    std::optional<unsigned long> userObjects;
};

#ifdef _WIN32
// The process's entries in the system handle table. GetProcessHandleCount
// answers 0 under Wine; the system-wide table is filled there too.
std::optional<unsigned long> processHandleCount()
{
    struct HandleEntry {
        USHORT processId;
        USHORT creatorBackTraceIndex;
        UCHAR objectType;
        UCHAR attributes;
        USHORT handle;
        PVOID object;
        ULONG grantedAccess;
    };
    struct HandleTable {
        ULONG count;
        HandleEntry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG SystemHandleInformation = 16;
    constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return std::nullopt;
    std::vector<unsigned char> buffer(1 << 16);
    LONG status = InfoLengthMismatch;
    for (int tries = 0; tries < 16 && status == InfoLengthMismatch; ++tries) {
        ULONG needed = 0;
        status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == InfoLengthMismatch) buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    }
    if (status != 0) return std::nullopt;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    unsigned long mine = 0;
    for (ULONG i = 0; i < table->count; ++i) mine += table->entries[i].processId == self ? 1 : 0;
    return mine;
}

std::optional<unsigned long> guiObjects(DWORD kind)
{
    // Zero means "not told": a process that loaded user32 holds some of both.
    const DWORD count = GetGuiResources(GetCurrentProcess(), kind);
    return count ? std::optional<unsigned long>(count) : std::nullopt;
}

ProcessCounts processCounts()
{
    return {processHandleCount(), guiObjects(GR_GDIOBJECTS), guiObjects(GR_USEROBJECTS)};
}
#else
// The open file descriptors: nothing of the program's opens one here, so
// this shows only that the doubles hold nothing of the system's.
ProcessCounts processCounts()
{
    std::error_code error;
    unsigned long descriptors = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error))
        ++descriptors;
    return {error ? std::nullopt : std::optional<unsigned long>(descriptors), std::nullopt, std::nullopt};
}
#endif

std::string shown(const std::optional<unsigned long>& count)
{
    return count ? std::to_string(*count) : "not readable";
}

// A later figure may not exceed the earlier one; figures that cannot be read prove nothing either way.
void expectNoGrowth(const char* what, const std::optional<unsigned long>& start,
                    const std::optional<unsigned long>& end)
{
    if (start && end) {
        EXPECT_LE(*end, *start) << what << " grew over the soak";
    }
}

// The sanitizers' bookkeeping makes a cycle some ten times dearer; a
// thousand cycles still show LeakSanitizer anything that piles up.
#if defined(__SANITIZE_ADDRESS__)
constexpr int FakeCycles = 1000;
#else
constexpr int FakeCycles = 10000;
#endif

// PURRBOX_SOAK_CYCLES, when set, replaces the count: the run under valgrind
// keeps the soak short, a long soak by hand makes it longer.
int cyclesOr(int count)
{
    const char* chosen = std::getenv("PURRBOX_SOAK_CYCLES");
    const int parsed = chosen ? std::atoi(chosen) : 0;
    return parsed > 1 ? parsed : count;
}

// How many cycles each system runs.
template <class System>
constexpr int Cycles = FakeCycles;
#ifdef _WIN32
template <>
constexpr int Cycles<RealSystem> = 300;
#endif


template <class System>
class ActionSoak : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry->createKey();
        registry->setRaw("", expandable(WindowsFullIcon));
        registry->setRaw("empty", expandable(WindowsEmptyIcon));
        registry->setRaw("full", expandable(WindowsFullIcon));
    }

    void cycle()
    {
        SwitchToCatIcons(ports);
        RestoreWindowsIcons(ports);
    }

    std::unique_ptr<RegistryBackend> registry = System::registry();
    std::unique_ptr<FileSystemBackend> disk = System::files();
    KeyCountingRegistryApi keys{registry->api()};
    HandleCountingFileSystemApi handles{disk->api()};
    RecycleBinIconKey key{keys};
    IconFileSet files{handles};
    CountingFeedback feedback;
    AppActionPorts ports{key, files, feedback};
};
TYPED_TEST_SUITE(ActionSoak, Systems, NamedByParameter);

TYPED_TEST(ActionSoak, AlternatingSwitchAndRestoreEndsAsOneCycleDoesAndHoldsNothingMore)
{
    // The first cycle loads and caches what the system keeps for the rest of
    // the process (libraries, the redirected root key): count from after it.
    this->cycle();
    const ProcessCounts start = processCounts();
    const long openAtStart = this->keys.open + this->handles.open;
    const auto began = std::chrono::steady_clock::now();
    long mostOpen = 0;
    const int cycles = cyclesOr(Cycles<TypeParam>);
    for (int cycle = 1; cycle < cycles; ++cycle) {
        this->cycle();
        mostOpen = std::max({mostOpen, this->keys.open, this->handles.open});
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const ProcessCounts end = processCounts();

    std::printf("soak %s: %d switch and restore cycles in %.1f s; keys, searches and files open at the seams: "
                "%ld at start, %ld at end, at most %ld between actions; process handles %s at start, %s at end; "
                "GDI objects %s, %s; USER objects %s, %s\n",
                TypeParam::Name, cycles, seconds, openAtStart, this->keys.open + this->handles.open,
                mostOpen, shown(start.handles).c_str(),
                shown(end.handles).c_str(), shown(start.gdiObjects).c_str(), shown(end.gdiObjects).c_str(),
                shown(start.userObjects).c_str(), shown(end.userObjects).c_str());

    EXPECT_EQ(mostOpen, 0) << "a key, search or file stayed open after an action";
    EXPECT_EQ(this->keys.strayCloses + this->handles.strayCloses, 0);
    EXPECT_EQ(this->keys.notifications, 2L * cycles) << "each action asks the shell to reload its icons";
    expectNoGrowth("the process's handle count", start.handles, end.handles);
    expectNoGrowth("the GDI object count", start.gdiObjects, end.gdiObjects);
    expectNoGrowth("the USER object count", start.userObjects, end.userObjects);

    EXPECT_EQ(this->feedback.messages, 0) << "every action wrote its scheme silently";
    EXPECT_FALSE(this->feedback.busy);
    EXPECT_EQ(this->registry->getRaw(""), expandable(WindowsFullIcon)) << "the bin's fill state survives every cycle";
    EXPECT_EQ(this->registry->getRaw("empty"), expandable(WindowsEmptyIcon));
    EXPECT_EQ(this->registry->getRaw("full"), expandable(WindowsFullIcon));
    const std::string makerFolder = this->disk->appDataFolder() + "\\brenoka";
    EXPECT_FALSE(this->disk->exists(makerFolder + "\\miaoIco"));
    EXPECT_TRUE(this->disk->isFolder(makerFolder));
    EXPECT_TRUE(this->disk->names(makerFolder).empty());
    EXPECT_EQ(this->disk->names(this->disk->appDataFolder()), std::vector<std::string>{"brenoka"});
}

}  // namespace
}  // namespace purrbox::testing
