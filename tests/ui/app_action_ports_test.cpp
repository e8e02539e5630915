// The two actions through the real icon key and icon folder: natively over the
// in-memory registry and files, on Windows over the real registry and real
// files (HKEY_CURRENT_USER and Application Data both redirected to scratch places).
#include "ui/app_action_ports.h"

#include <gtest/gtest.h>

#include "build_settings.h"
#include "core/icon_state.h"
#include "system/icon_files.h"
#include "tests/support/typed_names.h"
#include "tests/support/system_backends.h"

namespace purrbox::testing {
namespace {

struct Message {
    std::string text;
    std::string title;
    MessageIcon icon;
    friend bool operator==(const Message&, const Message&) = default;
};

void PrintTo(const Message& m, std::ostream* out) { *out << m.title << ": " << m.text; }

class RecordingFeedback final : public UserFeedback {
public:
    void setBusy(bool busy) override { busyCalls.push_back(busy); }
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override
    {
        messages.push_back({std::string(text), std::string(title), icon});
    }
    std::vector<bool> busyCalls;
    std::vector<Message> messages;
};




// One run of the program: its own recorded icon folder, the shared registry and disk.
struct ProgramRun {
    ProgramRun(RegistryApi& registryApi, FileSystemApi& fileApi) : key(registryApi), files(fileApi) {}
    RecycleBinIconKey key;
    IconFileSet files;
    RecordingFeedback feedback;
    AppActionPorts ports{key, files, feedback};
};

template <class System>
class ActionsOnSystemTest : public ::testing::Test {
protected:
    std::unique_ptr<ProgramRun> startRun() { return std::make_unique<ProgramRun>(registry->api(), disk->api()); }

    // The key as Windows 10 has it, bin empty or full.
    void seedWindowsIcons(IconLocation shown)
    {
        registry->createKey();
        registry->setRaw("", expandable(shown));
        registry->setRaw("empty", expandable(WindowsEmptyIcon));
        registry->setRaw("full", expandable(WindowsFullIcon));
    }

    void expectKey(IconLocation shown, IconLocation empty, IconLocation full)
    {
        EXPECT_EQ(registry->getRaw(""), expandable(shown));
        EXPECT_EQ(registry->getRaw("empty"), expandable(empty));
        EXPECT_EQ(registry->getRaw("full"), expandable(full));
    }

    std::string makerFolder() const { return disk->appDataFolder() + "\\brenoka"; }
    std::string iconFolder() const { return makerFolder() + "\\miaoIco"; }

    void expectIconFilesOnDisk()
    {
        for (const IconFile* file : {&emptyIconFile(), &fullIconFile()}) {
            const auto bytes = disk->fileBytes(iconFolder() + "\\" + std::string(file->name));
            ASSERT_TRUE(bytes.has_value()) << file->name;
            EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), file->bytes.begin(), file->bytes.end()))
                << file->name << " differs from the carried file";
        }
    }

    std::unique_ptr<RegistryBackend> registry = System::registry();
    std::unique_ptr<FileSystemBackend> disk = System::files();
};
TYPED_TEST_SUITE(ActionsOnSystemTest, Systems, NamedByParameter);

TYPED_TEST(ActionsOnSystemTest, SwitchThenRestoreInOneRunLeavesWindowsIconsAndNoIconFolder)
{
    this->seedWindowsIcons(WindowsEmptyIcon);
    auto run = this->startRun();

    SwitchToCatIcons(run->ports);
    this->expectKey(CatEmptyIcon, CatEmptyIcon, CatFullIcon);
    this->expectIconFilesOnDisk();

    RestoreWindowsIcons(run->ports);
    this->expectKey(WindowsEmptyIcon, WindowsEmptyIcon, WindowsFullIcon);
    EXPECT_FALSE(this->disk->exists(this->iconFolder()));
    EXPECT_TRUE(this->disk->isFolder(this->makerFolder()));
    EXPECT_TRUE(this->disk->names(this->makerFolder()).empty());

    EXPECT_TRUE(run->feedback.messages.empty()) << "success is silent";
    EXPECT_EQ(run->feedback.busyCalls, (std::vector<bool>{true, false, true, false}));
}

TYPED_TEST(ActionsOnSystemTest, FillStateIsCarriedOverBothWays)
{
    this->seedWindowsIcons(WindowsFullIcon);
    auto run = this->startRun();

    SwitchToCatIcons(run->ports);
    this->expectKey(CatFullIcon, CatEmptyIcon, CatFullIcon);
    RestoreWindowsIcons(run->ports);
    this->expectKey(WindowsFullIcon, WindowsEmptyIcon, WindowsFullIcon);
}

TYPED_TEST(ActionsOnSystemTest, SecondClickFindsTheSchemeAlreadyInForce)
{
    this->seedWindowsIcons(WindowsEmptyIcon);
    auto run = this->startRun();

    SwitchToCatIcons(run->ports);
    SwitchToCatIcons(run->ports);
    RestoreWindowsIcons(run->ports);
    RestoreWindowsIcons(run->ports);

    EXPECT_EQ(run->feedback.messages,
              (std::vector<Message>{{"当前回收站已是Purrbox！", "Purrbox", MessageIcon::Information},
                                    {"当前回收站已是原版回收站！", "原版回收站", MessageIcon::Information}}));
    this->expectKey(WindowsEmptyIcon, WindowsEmptyIcon, WindowsFullIcon);
}

TYPED_TEST(ActionsOnSystemTest, RestoreInALaterRunLeavesThatRunsIconFiles)
{
    this->seedWindowsIcons(WindowsEmptyIcon);
    SwitchToCatIcons(this->startRun()->ports);

    auto laterRun = this->startRun();
    RestoreWindowsIcons(laterRun->ports);

    this->expectKey(WindowsEmptyIcon, WindowsEmptyIcon, WindowsFullIcon);
    this->expectIconFilesOnDisk();
    EXPECT_TRUE(laterRun->feedback.messages.empty());
}

TYPED_TEST(ActionsOnSystemTest, MissingKeyIsAnIncompatibleSystemAndIsNeverCreated)
{
    auto run = this->startRun();

    SwitchToCatIcons(run->ports);
    this->expectIconFilesOnDisk();
    RestoreWindowsIcons(run->ports);

    const std::string incompatible = "可能是不兼容的系统，联系QQ：" PURRBOX_CONTACT_NUMBER "适配。";
    EXPECT_EQ(run->feedback.messages,
              (std::vector<Message>{{incompatible, "Purrbox", MessageIcon::Information},
                                    {incompatible, "原版回收站", MessageIcon::Information}}));
    EXPECT_FALSE(this->registry->keyExists());
    EXPECT_FALSE(this->disk->exists(this->iconFolder())) << "the restore deleted the folder all the same";
    EXPECT_EQ(run->feedback.busyCalls, (std::vector<bool>{true, false, true, false}));
}

// A key that can be read but not written: only the in-memory registry stages it.
TEST(ActionsOnFakeSystem, ReadOnlyKeyGivesOneErrorBoxPerWrite)
{
    FakeRegistryBackend registry;
    FakeFileSystemBackend disk;
    registry.createKey();
    registry.setRaw("", expandable(WindowsEmptyIcon));
    registry.registry.setReadOnly(IconKeyPath, true);
    ProgramRun run(registry.api(), disk.api());

    SwitchToCatIcons(run.ports);

    const Message failed{"替换失败！", "Purrbox：", MessageIcon::Error};
    EXPECT_EQ(run.feedback.messages, (std::vector<Message>{failed, failed, failed}));
    EXPECT_EQ(registry.getRaw(""), expandable(WindowsEmptyIcon));
    EXPECT_EQ(run.feedback.busyCalls, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace purrbox::testing
