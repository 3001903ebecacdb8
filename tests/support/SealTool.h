// Sealing a test's folder of images with the maker's tool, NimbrelSeal.exe beside the test program: its
// SHA256SUMS alone, or with SHA256SUMS.sig from a private key (the project's test key, or one made anew).
#pragma once

#include "system/Paths.h"
#include "tests/support/CliProcess.h"

#include <string>

inline std::string TestSigningKey() {
    return ProgramFolder() + "test-signing-key.pem";
}

// Runs NimbrelSeal.exe with `args`; true when it ended with 0.
inline bool RunSealTool(const std::string& args) {
    CliProcess seal;
    return seal.Start(args, ProgramFolder() + "NimbrelSeal.exe") && seal.Finish(30000) == 0;
}

// `key` empty: the list only.
inline bool SealFolder(const std::string& folder, const std::string& key = {}) {
    return RunSealTool("seal " + (key.empty() ? std::string() : "--key \"" + key + "\" ") + "\"" + folder +
                       "\"");
}

// A new key pair in `folder`, made by the tool; returns the private key's path, or empty.
inline std::string MakeOtherKey(const std::string& folder) {
    const std::string key = folder + "\\other-key.pem";
    ::DeleteFileA(key.c_str());
    ::DeleteFileA((folder + "\\other-key.pub.pem").c_str());
    return RunSealTool("keygen \"" + key + "\" \"" + folder + "\\other-key.pub.pem\"") ? key : std::string();
}
