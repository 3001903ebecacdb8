// NimbrelSeal.exe: the device maker's tool for the checksum list beside the images. It makes a key pair, and
// it writes SHA256SUMS (the images' SHA-256, as sha256sum writes them) and SHA256SUMS.sig (the signature of
// the list's bytes with the private key, r||s) for a folder of images. Everything cryptographic is the
// system's (bcrypt.dll); the key files are the PEM files that openssl reads and writes.
#include "engine/ImageManifest.h"
#include "seal/KeyPem.h"
#include "system/EcdsaP256.h"
#include "system/Sha256.h"

#include <windows.h>

#include "system/UniqueHandle.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr int EXIT_USAGE = 1;
constexpr int EXIT_FAILED = 2;

const char USAGE[] =
    "Usage: NimbrelSeal keygen PRIVATE.pem PUBLIC.pem\n"
    "       NimbrelSeal seal [--key PRIVATE.pem] [FOLDER]\n"
    "\n"
    "keygen  makes a P-256 key pair: the private key (PEM \"EC PRIVATE KEY\", keep it secret) and the\n"
    "        public key (PEM \"PUBLIC KEY\", for the build option NIMBREL_IMAGE_KEYS). An existing file\n"
    "        is never overwritten.\n"
    "seal    writes SHA256SUMS for the image files in FOLDER (default: the current folder) and, with\n"
    "        --key, SHA256SUMS.sig: the ECDSA P-256 signature of the list's SHA-256, r then s, 64 bytes.\n"
    "        Without --key an old SHA256SUMS.sig is removed, since it would no longer fit the list. Both\n"
    "        files are written aside and moved into place together: on any failure (an image that\n"
    "        cannot be read, a key that cannot sign, a file that cannot be written) the folder keeps\n"
    "        its old files.\n"
    "\n"
    "Exit codes: 0 done, 1 usage error, 2 a file could not be read or written, or no key made.\n";

int Fail(int code, const std::string& text) {
    std::fprintf(stderr, "NimbrelSeal: %s\n", text.c_str());
    return code;
}

int Usage(const std::string& what) {
    std::fprintf(stderr, "NimbrelSeal: %s\n%s", what.c_str(), USAGE);
    return EXIT_USAGE;
}

enum class Read { Absent, Failed, Done };

Read ReadWhole(const std::string& path, std::string& bytes) {
    HANDLE opened =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = ::GetLastError();
    const UniqueHandle file(opened);
    if (!file.IsValid())
        return error == ERROR_FILE_NOT_FOUND ? Read::Absent : Read::Failed;
    bytes.clear();
    char chunk[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr))
            return Read::Failed;
        if (read == 0)
            return Read::Done;
        bytes.append(chunk, read);
    }
}

bool WriteWhole(const std::string& path, const std::string& bytes, bool overwrite = true) {
    // CREATE_NEW keeps a key that exists already: a lost private key cannot sign the next release.
    const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                          overwrite ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                          nullptr));
    if (!file.IsValid())
        return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && ::FlushFileBuffers(file.Get());
}

// Also true when the system cannot tell: such a path is never written over.
bool Exists(const std::string& path) {
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

int MakeKeys(const std::string& privatePath, const std::string& publicPath) {
    // Neither file is written when either exists: a private key without its public half would block the
    // next try, and one that replaced an old key would strand every folder it sealed.
    for (const std::string& path : {privatePath, publicPath})
        if (Exists(path))
            return Fail(EXIT_FAILED, path + " exists already; no key was written");
    const auto key = GenerateP256KeyPair();
    if (!key)
        return Fail(EXIT_FAILED, "the system could not make a P-256 key pair");
    if (!WriteWhole(privatePath, PrivateKeyPem(*key), false))
        return Fail(EXIT_FAILED, "cannot write " + privatePath + "; no key was written");
    if (!WriteWhole(publicPath, PublicKeyPem(key->point), false)) {
        ::DeleteFileA(privatePath.c_str());
        return Fail(EXIT_FAILED, "cannot write " + publicPath + "; no key was written");
    }
    std::printf("Private key: %s (keep it secret)\nPublic key:  %s (for NIMBREL_IMAGE_KEYS)\n",
                privatePath.c_str(), publicPath.c_str());
    return 0;
}

// The sealed files of a folder replaced together: each new file is written beside its place first, the old
// ones are moved aside, the new ones moved in, and only then are the old ones removed. Any failure puts the
// old files back, so the folder keeps a list and a signature that belong together.
class SealedFiles {
public:
    explicit SealedFiles(const std::string& folder)
        : m_suffix(".seal-" + std::to_string(::GetCurrentProcessId())),
          m_paths{folder + "\\" + MANIFEST_FILE_NAME, folder + "\\" + MANIFEST_SIGNATURE_FILE_NAME} {}
    ~SealedFiles() {
        for (std::size_t i = 0; i < m_paths.size(); ++i)
            ::DeleteFileA((m_paths[i] + m_suffix + ".new").c_str());
    }
    SealedFiles(const SealedFiles&) = delete;
    SealedFiles& operator=(const SealedFiles&) = delete;

    const std::string& ListPath() const { return m_paths[0]; }
    const std::string& SignaturePath() const { return m_paths[1]; }

    // `signature` empty: the folder is left without SHA256SUMS.sig. On failure `fault` names the file and
    // says what became of the folder.
    bool Replace(const std::string& list, const std::string& signature, std::string& fault) {
        const std::string bytes[] = {list, signature};
        for (std::size_t i = 0; i < m_paths.size(); ++i)
            if (!bytes[i].empty() && !WriteWhole(m_paths[i] + m_suffix + ".new", bytes[i]))
                return Undo(fault, "cannot write " + m_paths[i] + m_suffix + ".new");
        for (std::size_t i = 0; i < m_paths.size(); ++i) {
            if (!Exists(m_paths[i]))
                continue;
            if (!::MoveFileExA(m_paths[i].c_str(), (m_paths[i] + m_suffix + ".old").c_str(), 0))
                return Undo(fault, "cannot replace " + m_paths[i]);
            m_movedAside[i] = true;
        }
        for (std::size_t i = 0; i < m_paths.size(); ++i) {
            if (bytes[i].empty())
                continue;
            if (!::MoveFileExA((m_paths[i] + m_suffix + ".new").c_str(), m_paths[i].c_str(), 0))
                return Undo(fault, "cannot write " + m_paths[i]);
            m_movedIn[i] = true;
        }
        for (std::size_t i = 0; i < m_paths.size(); ++i)
            if (m_movedAside[i])
                ::DeleteFileA((m_paths[i] + m_suffix + ".old").c_str());
        return true;
    }

private:
    // Puts the old files back.
    bool Undo(std::string& fault, const std::string& what) {
        bool restored = true;
        for (std::size_t i = 0; i < m_paths.size(); ++i) {
            if (m_movedIn[i] && !::DeleteFileA(m_paths[i].c_str()))
                restored = false;
            if (m_movedAside[i] &&
                !::MoveFileExA((m_paths[i] + m_suffix + ".old").c_str(), m_paths[i].c_str(), 0))
                restored = false;
        }
        fault = what + (restored ? "; the folder was left as it was"
                                 : "; the old files could not all be put back: they are kept as *" +
                                       m_suffix + ".old");
        return false;
    }

    const std::string m_suffix;
    const std::array<std::string, 2> m_paths;
    std::array<bool, 2> m_movedAside{};
    std::array<bool, 2> m_movedIn{};
};

int Seal(const std::string& folder, const std::string& keyPath) {
    std::optional<P256KeyPair> key;
    if (!keyPath.empty()) {
        std::string pem, error;
        if (ReadWhole(keyPath, pem) != Read::Done)
            return Fail(EXIT_FAILED, "cannot read " + keyPath);
        if (!(key = ReadPrivateKeyPem(pem, error)))
            return Fail(EXIT_FAILED, keyPath + ": " + error);
    }
    std::string list;
    for (const char* name : IMAGE_FILE_NAMES) {
        const std::string path = folder + "\\" + name;
        std::string image;
        const Read read = ReadWhole(path, image);
        if (read == Read::Absent)
            continue;
        // Left out, it would be an image the programs refuse as not listed, or one sent from another list.
        if (read == Read::Failed)
            return Fail(EXIT_FAILED, "cannot read " + path + "; the folder was left as it was");
        Sha256 hash;
        hash.Update(image.data(), image.size());
        const std::string hex = hash.FinishHex();
        if (hex.empty())
            return Fail(EXIT_FAILED, std::string("the system could not hash ") + name);
        list += ManifestLine(hex, name);
        std::printf("  %s  %s\n", hex.c_str(), name);
    }
    if (list.empty())
        return Fail(EXIT_FAILED, "no image file in " + folder);
    std::string signature;
    if (key) {
        Sha256 hash;
        hash.Update(list.data(), list.size());
        const Sha256Digest digest = hash.Finish();
        const auto made = hash.Failed() ? std::nullopt : SignP256(*key, digest);
        // Checked once with the public half: a key file whose two halves do not belong together would sign
        // folders that no program accepts.
        if (!made || !VerifyP256(key->point, digest, *made))
            return Fail(EXIT_FAILED,
                        keyPath + ": the system cannot sign with this key; the folder was left as it was");
        signature.assign(made->begin(), made->end());
    }
    SealedFiles files(folder);
    std::string fault;
    if (!files.Replace(list, signature, fault))
        return Fail(EXIT_FAILED, fault);
    if (signature.empty())
        std::printf("Wrote %s (not signed)\n", files.ListPath().c_str());
    else
        std::printf("Wrote %s and %s\n", files.ListPath().c_str(), files.SignaturePath().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h" || command == "/?") {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (command == "keygen") {
        if (argc != 4)
            return Usage("keygen takes the private and the public key file");
        return MakeKeys(argv[2], argv[3]);
    }
    if (command != "seal")
        return Usage(command.empty() ? "no command" : "unknown command " + command);
    std::string key, folder;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--key") {
            // Never the next option or nothing: "--key" would otherwise be sealed as a folder.
            if (i + 1 == argc || argv[i + 1][0] == '\0' || argv[i + 1][0] == '-')
                return Usage("--key needs the private key file");
            key = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else if (!folder.empty() || arg.empty()) {
            return Usage(arg.empty() ? "an empty folder name" : "one folder only");
        } else {
            folder = arg;
        }
    }
    return Seal(folder.empty() ? "." : folder, key);
}
