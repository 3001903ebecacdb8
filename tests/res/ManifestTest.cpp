// The manifest as Windows reads it from the built Nimbrel.exe beside this test program: the systems it is
// made for, no elevation at start, the classic controls, and awareness of the display scale.
#include "system/Paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>

namespace {

struct FreeModule {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModuleOwner = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeModule>;

// The program's RT_MANIFEST resource 1 (the one the loader reads for a process), or an empty string.
std::string ProgramManifest(const std::string& program) {
    ModuleOwner module(
        LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        return {};
    HRSRC found = FindResourceA(module.get(), MAKEINTRESOURCEA(1), RT_MANIFEST);
    HGLOBAL loaded = found != nullptr ? LoadResource(module.get(), found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    return bytes != nullptr
               ? std::string(static_cast<const char*>(bytes), SizeofResource(module.get(), found))
               : std::string();
}

} // namespace

TEST(Resources, ManifestOfTheProgramNamesItsSystemsInvokerLevelClassicControlsAndDpiAwareness) {
    const std::string manifest = ProgramManifest(ProgramFolder() + "Nimbrel.exe");
    ASSERT_FALSE(manifest.empty()) << "no manifest resource 1 in Nimbrel.exe";

    // Under any other namespace Windows ignores the entries.
    EXPECT_NE(manifest.find("<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">"),
              std::string::npos);
    for (const char* system : {"e2011457-1546-43c5-a5fe-008deee3d3f0",  // Vista
                               "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  // 7
                               "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // 8
                               "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // 8.1
                               "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) // 10 and 11
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + system + "}\"/>"), std::string::npos)
            << system;
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos);
    EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);

    // Per monitor (v2) from Windows 10 1703, aware of the system's scale before; each entry counts only in
    // its own namespace, inside the asm.v3 application element.
    const std::size_t settings = manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    ASSERT_NE(settings, std::string::npos);
    EXPECT_NE(manifest.find(
                  "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
                  settings),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                            "PerMonitorV2, System</dpiAwareness>",
                            settings),
              std::string::npos);
}
