#pragma once
// Whether the Office setup on a mounted disc image may run as administrator: the program the
// command interpreter would start must carry a valid Authenticode signature whose signer's
// certificate names Microsoft Corporation as its subject. The image lies on a drive that other
// users may be able to write to, so its contents are not to be trusted without this.
#include <windows.h>

#include <string>

#include "platform/scoped_handle.h"

struct SetupSignature {
    bool mayRun = false;
    std::wstring program;  // the file that was checked: what the interpreter would start
    // What the system answered for it, for the log: WinVerifyTrust's result (0 for a valid
    // signature, TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST, ...), or the error that kept the check
    // from being made, as an HRESULT. 0 with mayRun false means signed, but not by Microsoft.
    LONG result = 0;
    std::wstring signer;  // common name in the signer certificate's subject; empty when unread
    // When mayRun: the checked file, still open without write or delete sharing, so that nobody can
    // change or replace it before it runs. Keep it until the setup has started.
    ScopedHandle held;
};

// Checks the file at path (never through a link at its name): generic Authenticode verification, no user interface, no revocation
// check and no network, so it works offline. Never runs the file. Thread-safe.
SetupSignature CheckSignedByMicrosoft(const std::wstring &path);

// Checks the setup program that SetupCommand(driveRoot, is64BitWindows) starts: "setup64" (or
// "setup32") in driveRoot's Office folder, driveRoot with its trailing backslash ("E:\\"). The
// interpreter would start a setup64.com, .bat, .cmd (any extension the system lists in PATHEXT)
// lying beside Setup64.exe in its place, so any such file is refused, and named in program.
// Call it after the drive has been found and before StartFinishInstall; run the setup only when
// mayRun is true, and log program and result otherwise.
SetupSignature CheckSetupProgram(const std::wstring &driveRoot, bool is64BitWindows);
