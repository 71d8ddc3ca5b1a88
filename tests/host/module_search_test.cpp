// Where the host's LoadLibraryW finds "ril.dll": beside the executable first, never the working directory.
#include <gtest/gtest.h>

#include <filesystem>

#include <dlfcn.h>

#include "platform/host/module_search.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class ModuleSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(root.path().empty());
        fs::create_directories(root / "exe");
    }
    TempDir root{"search"};
};

TEST_F(ModuleSearch, FindsTheLibraryBesideTheExecutable)
{
    fs::copy_file(SIM_PHONE_RIL_PATH, root / "exe" / "ril.dll");
    std::string why;
    void* lib = OpenLibrary("ril.dll", (root / "exe").string(), &why);
    ASSERT_NE(nullptr, lib) << why;
    EXPECT_NE(nullptr, dlsym(lib, "RIL_DevSpecific"));
}

TEST_F(ModuleSearch, MissingEverywhereFailsWithAReason)
{
    std::string why;
    EXPECT_EQ(nullptr, OpenLibrary("ril.dll", (root / "exe").string(), &why));
    EXPECT_NE(std::string::npos, why.find("ril.dll")) << why;
    EXPECT_EQ(nullptr, OpenLibrary("", (root / "exe").string(), &why));
}

TEST_F(ModuleSearch, AFileThatIsNotALibraryFailsInsteadOfFallingThrough)
{
    FILE* f = fopen((root / "exe" / "ril.dll").c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("not an ELF file", f);
    fclose(f);
    std::string why;
    EXPECT_EQ(nullptr, OpenLibrary("ril.dll", (root / "exe").string(), &why));
    EXPECT_FALSE(why.empty());
}

}  // namespace
