// The shipped programs with a DLL planted under the name of every system DLL they name that is not one of the
// KnownDLLs (those always come from the system), beside the program and in its current folder, and the load
// order that Windows uses for such DLLs (the program's folder first; under Wine WINEDLLOVERRIDES=NAME=n,b):
// no planted DLL is loaded, and each program does its work as usual.
#include "tests/app/WindowTestProgram.h"
#include "tests/support/CliProcess.h"

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

using namespace windowtest;

namespace {

// Every "NAME.dll" the file holds, in lower case: its imports, its delay-loaded imports and any DLL it names
// to load by itself.
std::set<std::string> DllNames(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::transform(bytes.begin(), bytes.end(), bytes.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    std::set<std::string> names;
    for (std::size_t end = bytes.find(".dll"); end != std::string::npos; end = bytes.find(".dll", end + 1)) {
        std::size_t start = end;
        while (start > 0 &&
               (std::isalnum(static_cast<unsigned char>(bytes[start - 1])) || bytes[start - 1] == '_'))
            --start;
        // A name the program holds as text starts after a zero byte; bytes of code that store a piece of a
        // longer name do not.
        if (start < end && (start == 0 || bytes[start - 1] == '\0'))
            names.insert(bytes.substr(start, end - start) + ".dll");
    }
    return names;
}

// The DLLs a planted copy could take the place of: not a KnownDLL, and not the link library, which the
// programs load from their own folder on purpose.
std::vector<std::string> PlantableDlls(const std::string& program) {
    static const std::set<std::string> known = {
        "advapi32.dll", "clbcatq.dll", "combase.dll",  "comdlg32.dll", "coml2.dll",    "difxapi.dll",
        "gdi32.dll",    "gdiplus.dll", "imagehlp.dll", "imm32.dll",    "kernel32.dll", "kernelbase.dll",
        "msctf.dll",    "msvcrt.dll",  "normaliz.dll", "nsi.dll",      "ntdll.dll",    "ole32.dll",
        "oleaut32.dll", "psapi.dll",   "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shcore.dll",
        "shell32.dll",  "shlwapi.dll", "user32.dll",   "wldap32.dll",  "ws2_32.dll",   "tandryusb.dll"};
    // The 32-bit runtime's start only asks whether libgcc_s_dw2-1.dll is loaded already (GetModuleHandle),
    // which reads no file.
    static const std::set<std::string> neverLoaded = {"libgcc_s_dw2-1.dll"};
    std::vector<std::string> plantable;
    for (const std::string& name : DllNames(program))
        if (known.count(name) == 0 && neverLoaded.count(name) == 0)
            plantable.push_back(name);
    return plantable;
}

// Under Wine: whether the test program runs with the load order of Windows for this DLL (WINEDLLOVERRIDES,
// set for it in tests/app/CMakeLists.txt); Windows itself always looks in the program's folder first.
bool LooksBesideTheProgramFirst(const std::string& dll) {
    if (!::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        return true;
    char overrides[1024];
    const DWORD length = ::GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    if (length == 0 || length >= sizeof overrides)
        return false;
    // Entries "name,name=order" apart by ';'.
    std::stringstream entries(overrides);
    for (std::string entry; std::getline(entries, entry, ';');) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos || entry.substr(equals + 1) != "n,b")
            continue;
        std::stringstream names(entry.substr(0, equals));
        for (std::string name; std::getline(names, name, ',');)
            if (name + ".dll" == dll)
                return true;
    }
    return false;
}

// Plants the marker DLL under each name into each folder.
class PlantedDlls {
public:
    PlantedDlls(const std::vector<std::string>& names, const std::vector<std::string>& folders)
        : m_names(names), m_folders(folders) {
        for (const std::string& name : names) {
            EXPECT_TRUE(LooksBesideTheProgramFirst(name)) << "add " << name << " to WINEDLLOVERRIDES";
            for (const std::string& folder : folders)
                EXPECT_TRUE(CopyBeside("MarkerSystemDll.dll", folder + "\\" + name))
                    << folder << "\\" << name;
        }
    }

    void ExpectNoneLoaded() const {
        for (const std::string& folder : m_folders)
            for (const std::string& name : m_names)
                EXPECT_FALSE(FileExists(folder + "\\" + name + ".loaded"))
                    << folder << "\\" << name << " was loaded";
    }

private:
    std::vector<std::string> m_names;
    std::vector<std::string> m_folders;
};

// The names that a program importing KnownDLLs only (the companion tool's stand-in) loads from its own folder
// as well: under Wine its builtin user32 loads version.dll by name at start, from the program's folder first.
// On Windows user32 is a KnownDLL and takes nothing from there; no program can change what its KnownDLLs load
// before its first line, so these names are left out (and said).
std::vector<std::string> LoadedByTheSystemItself(const std::vector<std::string>& names) {
    const std::string control = NewFolder("planted-control");
    EXPECT_TRUE(CopyBeside("Plenwick.exe", control + "\\Plenwick.exe"));
    EXPECT_TRUE(PlantableDlls(control + "\\Plenwick.exe").empty());
    {
        const PlantedDlls planted(names, {control});
        CliProcess tool;
        EXPECT_TRUE(tool.Start("--close-after-ms 200", control + "\\Plenwick.exe"));
        tool.Finish();
    }
    std::vector<std::string> loaded;
    for (const std::string& name : names)
        if (FileExists(control + "\\" + name + ".loaded")) {
            std::printf("%s: the system's own DLLs load it from the program's folder here; not planted\n",
                        name.c_str());
            loaded.push_back(name);
        }
    return loaded;
}

// The plantable names of the programs in `folder`, less those the system itself loads from there.
std::vector<std::string> NamesToPlant(const std::string& folder, const std::vector<std::string>& programs) {
    std::vector<std::string> names;
    for (const std::string& program : programs) {
        const std::vector<std::string> own = PlantableDlls(folder + "\\" + program);
        names.insert(names.end(), own.begin(), own.end());
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const std::vector<std::string> systems = LoadedByTheSystemItself(names);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& name) {
                                   return std::find(systems.begin(), systems.end(), name) != systems.end();
                               }),
                names.end());
    return names;
}

} // namespace

TEST(PlantedSystemDll, TheWindowAndTheConsoleProgramLoadNoneAndUpdateAsUsual) {
    VirtualDevice device;
    // The programs as they ship.
    const std::string program = NewProgramFolder("planted-system", {"TandryUSB.dll", "lang.ini"});
    for (const char* exe : {"Nimbrel.exe", "NimbrelCli.exe"})
        ASSERT_TRUE(CopyBeside(std::string("shipped\\") + exe, program + "\\" + exe));
    const std::string folder = NewImageFolder("planted-system");
    const Bytes firm = MakeImage(3000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    // Both use the version record, the timer resolution and SHA-256 at least.
    for (const char* exe : {"\\Nimbrel.exe", "\\NimbrelCli.exe"}) {
        const std::vector<std::string> names = PlantableDlls(program + exe);
        for (const char* name : {"version.dll", "winmm.dll", "bcrypt.dll"})
            EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << exe << ": " << name;
    }
    const std::vector<std::string> names = NamesToPlant(program, {"Nimbrel.exe", "NimbrelCli.exe"});
    EXPECT_FALSE(names.empty());
    const PlantedDlls planted(names, {program, folder});

    WindowDriver app;
    ASSERT_TRUE(StartAndPressUpdateFile(app, folder, program + "\\Nimbrel.exe"));
    ASSERT_TRUE(WaitSent(app, device, 1));
    ASSERT_EQ(device.Images().size(), 1u);
    ExpectReceived(device.Images()[0], firm, FIRM);
    app.Click(IDCANCEL);
    DWORD windowExit = 1;
    ASSERT_TRUE(app.WaitForExit(RUN_MS, &windowExit));
    EXPECT_EQ(windowExit, 0u);

    CliProcess cli;
    ASSERT_TRUE(cli.Start("--dir \"" + folder + "\"", program + "\\NimbrelCli.exe"));
    EXPECT_EQ(cli.Finish(), 0) << cli.Output() << cli.Errors();
    ASSERT_EQ(device.Images().size(), 2u);
    ExpectReceived(device.Images()[1], firm, FIRM);
    planted.ExpectNoneLoaded();
}

TEST(PlantedSystemDll, TheSimulatorPackagesVirtualDeviceLoadsNoneAndTakesAnImage) {
    // The virtual device as it ships, with the console program, in a folder with planted DLLs.
    const std::string program =
        NewProgramFolder("planted-simulator", {"TandryUSB.dll", "lang.ini", "OstrelSim.exe"});
    ASSERT_TRUE(CopyBeside("shipped\\NimbrelCli.exe", program + "\\NimbrelCli.exe"));
    const std::string folder = NewImageFolder("planted-simulator");
    const Bytes firm = MakeImage(3000, 1);
    ASSERT_TRUE(WriteFile(folder + "\\" + FIRM, firm));
    const std::vector<std::string> names = NamesToPlant(program, {"OstrelSim.exe", "NimbrelCli.exe"});
    EXPECT_NE(std::find(names.begin(), names.end(), "bcrypt.dll"), names.end()); // its SHA-256 of each image
    const PlantedDlls planted(names, {program, folder});

    const std::string prefix = "\\\\.\\pipe\\PlantedSim-" + std::to_string(::GetCurrentProcessId());
    CliProcess device;
    ASSERT_TRUE(device.Start("--prefix " + prefix + " --out \"" + program + "\\received\"",
                             program + "\\OstrelSim.exe"));
    char previous[MAX_PATH] = "";
    ::GetEnvironmentVariableA("TANDRY_DEVICE_PREFIX", previous, sizeof previous);
    ::SetEnvironmentVariableA("TANDRY_DEVICE_PREFIX", prefix.c_str());
    CliProcess cli;
    const bool started = cli.Start("--wait 60 --dir \"" + folder + "\"", program + "\\NimbrelCli.exe");
    const long exitCode = started ? cli.Finish(120000) : -1;
    ::SetEnvironmentVariableA("TANDRY_DEVICE_PREFIX", previous[0] ? previous : nullptr);
    EXPECT_EQ(exitCode, 0) << cli.Output() << cli.Errors();
    // The device writes the image's files once it has seen the connection end, which may come after the
    // program's end.
    const std::string received = program + "\\received\\image-0001-payload.bin";
    Bytes payload;
    for (int i = 0; i < 300 && payload.size() < Payload(firm).size(); ++i) {
        ::Sleep(100);
        std::ifstream in(received, std::ios::binary);
        payload.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    device.Kill();
    EXPECT_EQ(payload, Payload(firm));
    planted.ExpectNoneLoaded();
}
