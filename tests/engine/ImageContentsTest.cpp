// The checksum list's grammar, the system's signature check (with a signature openssl made), and the check of
// a folder's images against its list, in a build with the test key.
#include "engine/ImageContents.h"
#include "seal/KeyPem.h"
#include "system/Paths.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"

#include "tests/support/DeepFolder.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

namespace {

std::string Hex(const std::string& bytes) {
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The project's test key pair, as openssl wrote its private half.
std::optional<P256KeyPair> TestKey() {
    std::ifstream in(ProgramFolder() + "test-signing-key.pem", std::ios::binary);
    std::string error;
    const auto key = ReadPrivateKeyPem(
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), error);
    EXPECT_TRUE(key) << error;
    return key;
}

// SHA256SUMS.sig of `list` by `key`.
std::string Signature(const std::string& list, const P256KeyPair& key) {
    Sha256 hash;
    hash.Update(list.data(), list.size());
    const auto rs = SignP256(key, hash.Finish());
    EXPECT_TRUE(rs);
    return rs ? std::string(rs->begin(), rs->end()) : std::string();
}

// `size` bytes of `fill` marked as an image to send.
std::string MarkedImage(std::size_t size, char fill) {
    std::string image(size, fill);
    image[0] = '%';
    image[1] = 1;
    return image;
}

const std::string A = std::string(64, 'a');
const std::string B = std::string(63, 'b') + "B";

TEST(ImageManifest, ReadsWhatSha256sumWritesAndRefusesWhatIsNotAList) {
    struct Case {
        const char* name;
        std::string text;
        ManifestFault fault;
        unsigned line;
        std::string firm, cdb1; // the listed SHA-256 when valid
    };
    const Case cases[] = {
        {"text mode, LF", A + "  firm.zpk\n" + B + "  sf_pcmimgcdb1.zpk\n", ManifestFault::None, 0, A,
         std::string(64, 'b')},
        {"binary mode, CRLF, BOM, no last line end, upper-case name",
         "\xEF\xBB\xBF" + A + " *FIRM.ZPK\r\n" + B + " *Sf_PcmImgCdb1.zpk", ManifestFault::None, 0, A,
         std::string(64, 'b')},
        {"other files and empty lines are passed over", "\n" + B + "  readme.txt\n\n" + A + "  firm.zpk\n",
         ManifestFault::None, 0, A, ""},
        {"the same other file twice", B + "  notes\n" + B + "  notes\n", ManifestFault::None, 0, "", ""},
        {"63 digits", A + "  firm.zpk\n" + A.substr(1) + "  sf_pcmimgcdb1.zpk\n", ManifestFault::Malformed, 2,
         "", ""},
        {"not hex", std::string(63, 'a') + "g  firm.zpk\n", ManifestFault::Malformed, 1, "", ""},
        {"one space only", A + " firm.zpk\n", ManifestFault::Malformed, 1, "", ""},
        {"a tab", A + "\t firm.zpk\n", ManifestFault::Malformed, 1, "", ""},
        {"no name", A + "  \n", ManifestFault::Malformed, 1, "", ""},
        {"a comment", "# sums\n", ManifestFault::Malformed, 1, "", ""},
        {"a slash", A + "  images/firm.zpk\n", ManifestFault::NamesPath, 1, "", ""},
        {"a backslash", "\r\n" + A + "  ..\\firm.zpk\r\n", ManifestFault::NamesPath, 2, "", ""},
        {"a colon", A + "  C:firm.zpk\n", ManifestFault::NamesPath, 1, "", ""},
        {"an image twice", A + "  firm.zpk\n" + B + "  sf_pcmimgcdb2.zpk\n" + B + " *Firm.zpk\n",
         ManifestFault::Twice, 3, "", ""},
        {"larger than 64 KiB", std::string(64 * 1024 + 1, '\n'), ManifestFault::TooLarge, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImageManifest manifest = ParseManifest(c.text);
        EXPECT_EQ(manifest.fault, c.fault);
        EXPECT_EQ(manifest.faultLine, c.line);
        EXPECT_EQ(manifest.sha256[IMAGE_FIRM], c.firm);
        EXPECT_EQ(manifest.sha256[IMAGE_CDB1], c.cdb1);
    }
    EXPECT_EQ(ParseManifest(std::string(64 * 1024, '\n')).fault, ManifestFault::None) << "64 KiB is allowed";
}

TEST(EcdsaP256, TheSystemChecksOpensslSignaturesAndItsOwn) {
    // `openssl dgst -sha256 -sign tests/data/test-signing-key.pem` over "abc", its DER turned into r||s, and
    // the key's point as `openssl ec -text` prints it.
    P256PublicPoint point;
    P256Signature signature;
    const auto x =
        FromHex("cf2981180c53bfd485919f4449b353a3b4481ad2cc42d3cd8fc0ce001b0a71fd554db6f187d8c0b76b6de4"
                "bab7e1453c83485d6c1d76881a8d934bc2f3d9dcc6");
    const auto rs =
        FromHex("1bcec270ecc9358521146d6b0612bcf555ef2371dd4a76408bf493574803c51cd8a09f40b09072ef5b8e92"
                "9e60fd80678391ee6ed2ab71a5462f63248cb68202");
    std::copy(x.begin(), x.end(), point.begin());
    std::copy(rs.begin(), rs.end(), signature.begin());
    Sha256 hash;
    hash.Update("abc", 3);
    const Sha256Digest digest = hash.Finish();
    EXPECT_TRUE(VerifyP256(point, digest, signature));
    P256Signature changed = signature;
    changed[40] ^= 1;
    EXPECT_FALSE(VerifyP256(point, digest, changed));

    const auto mine = GenerateP256KeyPair();
    ASSERT_TRUE(mine);
    const auto signed_ = SignP256(*mine, digest);
    ASSERT_TRUE(signed_);
    EXPECT_TRUE(VerifyP256(mine->point, digest, *signed_));
    EXPECT_FALSE(VerifyP256(point, digest, *signed_)) << "another key";
    P256PublicPoint offCurve = point;
    offCurve[63] ^= 1;
    EXPECT_FALSE(VerifyP256(offCurve, digest, signature));

    // The private key file as openssl wrote it, and the form the sealing tool writes, read back.
    std::ifstream in(ProgramFolder() + "test-signing-key.pem", std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    const auto testKey = ReadPrivateKeyPem(pem, error);
    ASSERT_TRUE(testKey) << error;
    EXPECT_EQ(testKey->point, point);
    const auto again = ReadPrivateKeyPem(PrivateKeyPem(*testKey), error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->scalar, testKey->scalar);
    EXPECT_EQ(again->point, point);
}

// A folder with images and a list, checked by the engine in a build with the test key.
TEST(ImageContents, AllFourImagesAreCheckedAgainstTheListAndItsSignature) {
    const auto testKey = TestKey();
    ASSERT_TRUE(testKey);
    const auto otherKey = GenerateP256KeyPair();
    ASSERT_TRUE(otherKey);

    const std::string firm(3000, 'f'), cdb2(2000, 'c');
    const auto image = [](std::string bytes) {
        bytes[0] = '%';
        bytes[1] = 1;
        return bytes;
    };
    const std::string goodList =
        Hex(image(firm)) + "  firm.zpk\n" + Hex(image(cdb2)) + " *sf_pcmimgcdb2.zpk\n";
    enum Sig { NONE, TEST, OTHER, SHORT };
    struct Case {
        const char* name;
        std::string list; // empty: no SHA256SUMS
        Sig sig;
        bool withCdb2;
        bool withCdb3; // a marked image the list does not name
        ContentFault fault;
        Verification verified;
        int file;
        bool held = false; // sf_pcmimgcdb2.zpk held open without sharing throughout
    };
    const Case cases[] = {
        {"no list", "", NONE, true, false, ContentFault::None, Verification::None, -1},
        {"a list", goodList, NONE, true, false, ContentFault::None, Verification::Sha256, -1},
        {"signed", goodList, TEST, true, false, ContentFault::None, Verification::Signature, -1},
        {"signed by another key", goodList, OTHER, true, false, ContentFault::SignatureBad,
         Verification::None, -1},
        {"a cut signature", goodList, SHORT, true, false, ContentFault::SignatureMalformed,
         Verification::None, -1},
        {"listed, missing", goodList, NONE, false, false, ContentFault::Missing, Verification::None,
         IMAGE_CDB2},
        {"marked, not listed", goodList, NONE, true, true, ContentFault::NotListed, Verification::None,
         IMAGE_CDB3},
        {"listed, held open by another program", goodList, NONE, true, false, ContentFault::InUse,
         Verification::None, IMAGE_CDB2, true},
        {"does not match", Hex("x") + "  firm.zpk\n", NONE, true, false, ContentFault::Mismatch,
         Verification::None, IMAGE_FIRM},
        {"malformed", goodList + "oops\n", NONE, true, false, ContentFault::ListInvalid, Verification::None,
         -1},
        // Too large is what it is, signed or not: the signature of the whole list cannot match the part read.
        {"over 64 KiB", goodList + std::string(64 * 1024, '\n'), NONE, true, false,
         ContentFault::ListTooLarge, Verification::None, -1},
        {"over 64 KiB, signed", goodList + std::string(64 * 1024, '\n'), TEST, true, false,
         ContentFault::ListTooLarge, Verification::None, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.Write("firm.zpk", image(firm));
        if (c.withCdb2)
            folder.Write("sf_pcmimgcdb2.zpk", image(cdb2));
        if (c.withCdb3)
            folder.Write("sf_pcmimgcdb3.zpk", image(firm));
        folder.Write("sf_pcmimgcdb1.zpk", std::string(1500, '\0')); // not marked, not listed: left alone
        if (!c.list.empty())
            folder.Write(MANIFEST_FILE_NAME, c.list);
        if (c.sig != NONE) {
            Sha256 hash;
            hash.Update(c.list.data(), c.list.size());
            const auto rs = SignP256(c.sig == OTHER ? *otherKey : *testKey, hash.Finish());
            ASSERT_TRUE(rs);
            folder.Write(MANIFEST_SIGNATURE_FILE_NAME,
                         std::string(rs->begin(), rs->end() - (c.sig == SHORT)));
        }
        const CurrentDirectory here(folder.Path());
        const UniqueHandle held(
            c.held ? ::CreateFileA("sf_pcmimgcdb2.zpk", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                   : INVALID_HANDLE_VALUE);
        ASSERT_EQ(held.IsValid(), c.held);
        ContentCheck check = CheckImageContents();
        EXPECT_EQ(check.fault, c.fault) << DescribeContentFault(check, true);
        EXPECT_EQ(check.verification, c.verified);
        EXPECT_EQ(check.file, c.file);
        if (c.fault == ContentFault::Mismatch) {
            EXPECT_EQ(check.actualSha256, Hex(image(firm)));
            EXPECT_EQ(DescribeContentFault(check, true), "firm.zpk does not match SHA256SUMS: expected " +
                                                             Hex("x") + ", actual " + Hex(image(firm)));
        }
        if (c.fault == ContentFault::ListTooLarge) {
            EXPECT_EQ(DescribeContentFault(check, false),
                      "SHA256SUMS is too large: it is larger than 64 KiB");
            EXPECT_STREQ(ContentFaultWord(check.fault), "list-too-large");
        }
        if (c.fault == ContentFault::InUse) {
            EXPECT_EQ(
                DescribeContentFault(check, false),
                "sf_pcmimgcdb2.zpk is in use by another program, so it cannot be checked against SHA256SUMS");
        }
        if (c.fault == ContentFault::ListInvalid) {
            EXPECT_EQ(DescribeContentFault(check, false),
                      "SHA256SUMS is invalid at line 3: not \"<64 hex digits> <space or *><file name>\"");
        }
        if (c.fault != ContentFault::None || c.verified == Verification::None)
            continue;
        // At the stage: the loaded bytes once more.
        EXPECT_TRUE(LoadedBytesPass(check, IMAGE_FIRM, Hex(image(firm))));
        EXPECT_FALSE(LoadedBytesPass(check, IMAGE_CDB2, Hex(image(firm))));
        EXPECT_EQ(check.fault, ContentFault::Changed);
        EXPECT_EQ(check.file, IMAGE_CDB2);
    }
}

TEST(ImageContents, OneByteChangedPastTheLeadingBlockOfAnyImageIsNamed) {
    for (int changed = 0; changed < IMAGE_FILE_COUNT; ++changed) {
        SCOPED_TRACE(IMAGE_FILE_NAMES[changed]);
        TempFolder folder;
        std::string list;
        for (int file = 0; file < IMAGE_FILE_COUNT; ++file) {
            std::string image(2000 + 100 * file, static_cast<char>('a' + file));
            image[0] = '%';
            image[1] = 1;
            list += ManifestLine(Hex(image), IMAGE_FILE_NAMES[file]);
            if (file == changed)
                image[1500] ^= 1;
            folder.Write(IMAGE_FILE_NAMES[file], image);
        }
        folder.Write(MANIFEST_FILE_NAME, list);
        const CurrentDirectory here(folder.Path());
        const ContentCheck check = CheckImageContents();
        EXPECT_EQ(check.fault, ContentFault::Mismatch);
        EXPECT_EQ(check.file, changed);
    }
}

TEST(ImageContents, ASignatureThisPcCannotCheckIsSaidSoNeverCalledForged) {
    const auto testKey = TestKey();
    ASSERT_TRUE(testKey);
    std::string image = MarkedImage(3000, 'f');
    const std::string list = ManifestLine(Hex(image), "firm.zpk");
    TempFolder folder;
    folder.Write("firm.zpk", image);
    folder.Write(MANIFEST_FILE_NAME, list);
    folder.Write(MANIFEST_SIGNATURE_FILE_NAME, Signature(list, *testKey));
    const CurrentDirectory here(folder.Path());
    // No system takes the point (0, 0) as a key: the check cannot be made with it.
    const P256PublicPoint unusable{};
    const P256PublicPoint keys[] = {unusable, testKey->point};
    const ContentCheck uncheckable = CheckImageContents(ImageKeys{keys, 1, true});
    EXPECT_EQ(uncheckable.fault, ContentFault::SignatureUncheckable);
    EXPECT_STREQ(ContentFaultWord(uncheckable.fault), "signature-uncheckable");
    EXPECT_EQ(
        DescribeContentFault(uncheckable, true).rfind("the signature could not be checked on this PC", 0), 0u)
        << DescribeContentFault(uncheckable, true);
    // Another key that the system takes and that signed the list: verified.
    const ContentCheck either = CheckImageContents(ImageKeys{keys, 2, true});
    EXPECT_EQ(either.fault, ContentFault::None) << DescribeContentFault(either, true);
    EXPECT_EQ(either.verification, Verification::Signature);
}

// A folder of 251 characters: its list is read in the long form, and names firm.zpk, whose own path does
// not fit (the programs read folders of 244 to 250 characters as any other: cli_tests, SealEdgesTest.cpp).
TEST(ImageContents, AListedImageWhosePathDoesNotFitIsRefusedAsTooLongNeverAsMissing) {
    const std::string image = MarkedImage(3000, 'f');
    TempFolder parent;
    const DeepFolder deep(parent.Path(), 251);
    deep.Write("firm.zpk", image);
    deep.Write(MANIFEST_FILE_NAME, ManifestLine(Hex(image), "firm.zpk"));
    const CurrentDirectory here(deep.Path());
    const ContentCheck check = CheckImageContents(ImageKeys{});
    EXPECT_EQ(check.fault, ContentFault::PathTooLong);
    EXPECT_EQ(check.file, IMAGE_FIRM);
    EXPECT_STREQ(ContentFaultWord(check.fault), "path-too-long");
    EXPECT_EQ(DescribeContentFault(check, false),
              "the folder's path is too long: " + deep.Path() +
                  "\\firm.zpk would be 260 characters, more than this program can open; move the update to a "
                  "folder with a shorter path");
}

} // namespace
