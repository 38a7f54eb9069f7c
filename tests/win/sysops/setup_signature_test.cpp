// The signed programs come from scripts/sign-setup-double.sh, run by ctest before these tests with
// certificates made at that moment.
#include "sysops/setup_signature.h"

#include <gtest/gtest.h>
#include <wintrust.h>

#include "sysops/command_runner.h"
#include "sysops/command_text.h"
#include "platform/gbk_text.h"
#include "sysops/system_checks.h"
#include "worker_harness.h"

namespace {

const std::wstring kDiscs = L"C:\\users\\Public\\halden-signature";

// A folder laid out like a mounted disc, whose Office\<name> is a copy of program; its root.
std::wstring Disc(const wchar_t *disc, const std::wstring &program, const wchar_t *name = L"Setup64.exe") {
    const std::wstring root = kDiscs + L"\\" + disc + L"\\";
    CreateDirectoryW(kDiscs.c_str(), nullptr);
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"Office").c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(program.c_str(), (root + L"Office\\" + name).c_str(), FALSE)) << program;
    return root;
}

std::wstring Signed(const wchar_t *by) { return GetModuleDir() + L"\\..\\signing\\" + by + L"\\Setup64.exe"; }

}  // namespace

TEST(SetupSignature, OnlyAnIntactProgramSignedByMicrosoftCorporationMayRun) {
    const std::wstring microsoft = Disc(L"microsoft", Signed(L"microsoft"));
    SetupSignature check = CheckSetupProgram(microsoft, true);
    EXPECT_TRUE(check.mayRun);
    EXPECT_EQ(check.result, 0);
    EXPECT_EQ(check.program, microsoft + L"Office\\Setup64.exe");
    EXPECT_EQ(check.signer, L"Microsoft Corporation");
    EXPECT_TRUE(CheckSetupProgram(Disc(L"microsoft32", Signed(L"microsoft"), L"Setup32.exe"), false).mayRun);

    check = CheckSetupProgram(Disc(L"unsigned", GetModuleDir() + L"\\doubles\\powershell.exe"), true);
    EXPECT_FALSE(check.mayRun);
    EXPECT_EQ(check.result, TRUST_E_NOSIGNATURE);
    EXPECT_EQ(check.signer, L"");

    // Wine accepts the signature itself, from a root nobody trusts; the subject refuses it.
    check = CheckSetupProgram(Disc(L"other", Signed(L"other")), true);
    EXPECT_FALSE(check.mayRun);
    EXPECT_EQ(check.signer, L"Other Corporation");

    const std::wstring changed = Disc(L"changed", Signed(L"microsoft"));
    std::string bytes = ReadBytes(changed + L"Office\\Setup64.exe");
    ASSERT_GT(bytes.size(), 4096u);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x01);
    ASSERT_TRUE(WriteBytes(changed + L"Office\\Setup64.exe", bytes));
    check = CheckSetupProgram(changed, true);
    EXPECT_FALSE(check.mayRun);
    EXPECT_EQ(check.result, TRUST_E_BAD_DIGEST);

    // The interpreter, asked for "setup64", starts a program named setup64.com before the signed
    // Setup64.exe beside it (seen under Wine too).
    const std::wstring besides = Disc(L"besides", Signed(L"microsoft"));
    ASSERT_TRUE(CopyFileW((GetModuleDir() + L"\\planted.exe").c_str(), (besides + L"Office\\setup64.com").c_str(), FALSE));
    check = CheckSetupProgram(besides, true);
    EXPECT_FALSE(check.mayRun);
    EXPECT_EQ(CompareStringOrdinal(check.program.c_str(), -1, (besides + L"Office\\setup64.com").c_str(), -1, TRUE),
              CSTR_EQUAL)
        << check.program;

    check = CheckSetupProgram(kDiscs + L"\\nothing-here\\", true);
    EXPECT_FALSE(check.mayRun);
    EXPECT_EQ(check.result, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
}

// What the program does: the mount double puts a prepared (here: signed) setup on the drive it
// makes, and the check passes it there.
TEST(SetupSignature, TheMountDoubleOffersThePreparedSignedSetup) {
    const std::wstring prepared = Disc(L"prepared", Signed(L"microsoft")) + L"Office";
    const std::wstring image = kDiscs + L"\\signed setup.img";
    ASSERT_TRUE(WriteBytes(image, "disc image"));
    SetEnvironmentVariableW(L"HALDEN_DOUBLES_SETUP", prepared.c_str());
    std::wstring output;
    RunCommandCapture(DismountCommand(image), output);  // an earlier run may have left it attached
    DriveSpaceMap before, after;
    GetDriveSpaceMap(before);
    ASSERT_EQ(RunCommandCapture(MountCommand(image), output, CommandLimitMs(CommandKind::Mount)), 1);
    GetDriveSpaceMap(after);
    SetEnvironmentVariableW(L"HALDEN_DOUBLES_SETUP", nullptr);
    std::wstring root;
    for (const auto &drive : after) {
        if (!before.count(drive.first)) root = ToWideChs(drive.first);
    }
    ASSERT_FALSE(root.empty()) << "the image did not appear as a drive";
    const SetupSignature check = CheckSetupProgram(root, true);
    EXPECT_TRUE(check.mayRun) << std::hex << check.result;
    EXPECT_EQ(check.program, root + L"Office\\Setup64.exe");
    EXPECT_EQ(RunCommandCapture(DismountCommand(image), output, CommandLimitMs(CommandKind::Dismount)), 1);
}
