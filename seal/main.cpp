// NimbrelSeal.exe: the device maker's tool for the checksum list beside the images. It makes a key pair, and
// it writes SHA256SUMS (the images' SHA-256, as sha256sum writes them) and SHA256SUMS.sig (the signature of
// the list's bytes with the private key, r||s) for a folder of images. Everything cryptographic is the
// system's (bcrypt.dll); the key files are the PEM files that openssl reads and writes.
#include "engine/ImageManifest.h"
#include "seal/KeyPem.h"
#include "system/EcdsaP256.h"
#include "system/Sha256.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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
    "        Without --key an old SHA256SUMS.sig is removed, since it would no longer fit the list.\n"
    "\n"
    "Exit codes: 0 done, 1 usage error, 2 a file could not be read or written, or no key made.\n";

int Fail(int code, const std::string& text) {
    std::fprintf(stderr, "NimbrelSeal: %s\n", text.c_str());
    return code;
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWhole(const std::string& path, const std::string& bytes, bool overwrite = true) {
    // CREATE_NEW keeps a key that exists already: a lost private key cannot sign the next release.
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                overwrite ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool done = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                      written == bytes.size();
    return ::CloseHandle(file) && done;
}

int MakeKeys(const std::string& privatePath, const std::string& publicPath) {
    const auto key = GenerateP256KeyPair();
    if (!key)
        return Fail(EXIT_FAILED, "the system could not make a P-256 key pair");
    if (!WriteWhole(privatePath, PrivateKeyPem(*key), false))
        return Fail(EXIT_FAILED, "cannot write " + privatePath + " (it must not exist yet)");
    if (!WriteWhole(publicPath, PublicKeyPem(key->point), false))
        return Fail(EXIT_FAILED, "cannot write " + publicPath + " (it must not exist yet)");
    std::printf("Private key: %s (keep it secret)\nPublic key:  %s (for NIMBREL_IMAGE_KEYS)\n",
                privatePath.c_str(), publicPath.c_str());
    return 0;
}

int Seal(const std::string& folder, const std::string& keyPath) {
    std::optional<P256KeyPair> key;
    if (!keyPath.empty()) {
        std::string pem, error;
        if (!ReadWhole(keyPath, pem))
            return Fail(EXIT_FAILED, "cannot read " + keyPath);
        if (!(key = ReadPrivateKeyPem(pem, error)))
            return Fail(EXIT_FAILED, keyPath + ": " + error);
    }
    std::string list;
    for (const char* name : IMAGE_FILE_NAMES) {
        std::string image;
        if (!ReadWhole(folder + "\\" + name, image))
            continue;
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
    const std::string listPath = folder + "\\" + MANIFEST_FILE_NAME;
    const std::string signaturePath = folder + "\\" + MANIFEST_SIGNATURE_FILE_NAME;
    if (!WriteWhole(listPath, list))
        return Fail(EXIT_FAILED, "cannot write " + listPath);
    if (!key) {
        ::DeleteFileA(signaturePath.c_str());
        std::printf("Wrote %s (not signed)\n", listPath.c_str());
        return 0;
    }
    Sha256 hash;
    hash.Update(list.data(), list.size());
    const Sha256Digest digest = hash.Finish();
    const auto signature = hash.Failed() ? std::nullopt : SignP256(*key, digest);
    // Checked once with the public half: a key file whose two halves do not belong together would sign
    // folders that no program accepts.
    if (!signature || !VerifyP256(key->point, digest, *signature))
        return Fail(EXIT_FAILED, keyPath + ": the system cannot sign with this key");
    if (!WriteWhole(signaturePath, std::string(signature->begin(), signature->end())))
        return Fail(EXIT_FAILED, "cannot write " + signaturePath);
    std::printf("Wrote %s and %s\n", listPath.c_str(), signaturePath.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h" || command == "/?") {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (command == "keygen" && argc == 4)
        return MakeKeys(argv[2], argv[3]);
    if (command == "seal") {
        std::string key, folder = ".";
        int i = 2;
        if (i + 1 < argc && std::string(argv[i]) == "--key") {
            key = argv[i + 1];
            i += 2;
        }
        if (i < argc)
            folder = argv[i++];
        if (i == argc && (key.empty() || key[0] != '-'))
            return Seal(folder, key);
    }
    std::fputs(USAGE, stderr);
    return EXIT_USAGE;
}
