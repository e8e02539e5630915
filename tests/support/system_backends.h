// The systems the actions are tested on, as a typed suite's parameter: the
// in-memory registry and files everywhere, and on Windows the real registry
// and real files (HKEY_CURRENT_USER and Application Data redirected to
// scratch places).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/file_system_backend.h"
#include "tests/support/registry_backend.h"

namespace purrbox::testing {

struct FakeSystem {
    static constexpr const char* Name = "FakeSystem";
    static std::unique_ptr<RegistryBackend> registry() { return std::make_unique<FakeRegistryBackend>(); }
    static std::unique_ptr<FileSystemBackend> files() { return std::make_unique<FakeFileSystemBackend>(); }
};
#ifdef _WIN32
struct RealSystem {
    static constexpr const char* Name = "RealSystem";
    static std::unique_ptr<RegistryBackend> registry() { return makeScratchRegistryBackend(); }
    static std::unique_ptr<FileSystemBackend> files() { return makeScratchFileSystemBackend(); }
};
using Systems = ::testing::Types<FakeSystem, RealSystem>;
#else
using Systems = ::testing::Types<FakeSystem>;
#endif

}  // namespace purrbox::testing
