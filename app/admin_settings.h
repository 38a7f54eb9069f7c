#pragma once
// The settings that change where the disc image comes from and whom its download trusts. The
// program runs as administrator, so they come only from where an administrator controls them: the
// policy key HKLM\Software\Policies\Halden (string values ImageUrl, CaFile and ImageSha256), as an
// organisation's Group Policy sets it. The environment is the user's and is not asked.
#include <string>

// The policy key, below HKEY_LOCAL_MACHINE.
extern const wchar_t kPolicyKey[];  // L"Software\\Policies\\Halden"

// A string value of the policy key; empty when it is not set or is not a string.
std::wstring PolicyValue(const wchar_t *name);

// Text for the engine's narrow interface: printable ASCII stays as it is, every other character
// becomes DEL, which no address accepts, so a value that does not convert is refused whole.
std::string AsciiOrRefused(const std::wstring &text);

// Clears the variables through which the environment would steer the download engine (its
// authority file and time limits) and the program's own image address and command limits, then
// hands the engine the policy's CaFile, if one is set. Call once at start, before the engine runs.
void ApplyAdministratorSettings();

// The image's SHA-256 given on the command line (/sha256), already checked; it wins over the policy.
void SetCommandLineImageSha256(std::string sha256);
// The SHA-256 the image must have, as 64 lower-case hex digits: the command line's, else the
// policy's ImageSha256; empty when neither is set. A policy value that is no such digest is logged
// and returned as it is, which no image matches: an administrator who asked for a check gets no
// unchecked image.
std::string ChosenImageSha256();

// The image's address given on the command line (/source), already checked; it wins over the policy.
void SetCommandLineImageUrl(std::string url);
// The image's address: the command line's, else the policy's ImageUrl when it is usable (a refused
// one is logged), else the default.
std::string ChosenImageUrl();
