// Where the host's LoadLibraryW finds "ril.dll": beside the executable first, never the working directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <dlfcn.h>

#include "platform/host/module_search.h"
#include "support/named_rows.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// What lies beside the executable, whether the search opens it, and what the reason must name.
enum class Beside { RadioLayer, Nothing, NotALibrary };
struct SearchCase : NamedRow {
    Beside beside;
    const char* asked;  // the name the program asks for
    bool opens;
    const char* reasonNames;
};

const SearchCase kSearches[] = {
    {"FindsTheLibraryBesideTheExecutable", Beside::RadioLayer, "ril.dll", true, ""},
    {"MissingEverywhereFailsWithAReason", Beside::Nothing, "ril.dll", false, "ril.dll"},
    {"NothingNamedFails", Beside::Nothing, "", false, "empty library name"},
    {"AFileThatIsNotALibraryFailsInsteadOfFallingThrough", Beside::NotALibrary, "ril.dll", false, "ril.dll"},
};

class ModuleSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(ModuleSearch, OpensOnlyTheLibraryBesideTheExecutable)
{
    const SearchCase& c = GetParam();
    const TempDir root("search");
    fs::create_directories(root / "exe");
    if (c.beside == Beside::RadioLayer) fs::copy_file(SIM_PHONE_RIL_PATH, root / "exe" / "ril.dll");
    if (c.beside == Beside::NotALibrary) std::ofstream(root / "exe" / "ril.dll") << "not an ELF file";
    std::string why;
    void* lib = OpenLibrary(c.asked, (root / "exe").string(), &why);
    ASSERT_EQ(c.opens, lib != nullptr) << why;
    EXPECT_TRUE(lib ? dlsym(lib, "RIL_DevSpecific") != nullptr : why.find(c.reasonNames) != std::string::npos) << why;
}
INSTANTIATE_NAMED_ROWS(Cases, ModuleSearch, ::testing::ValuesIn(kSearches));

}  // namespace
