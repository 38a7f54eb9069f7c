// "powershell -command ...": the removal commands are only recorded; Mount-DiskImage records the
// image's size and SHA-256 and makes a new CD drive appear whose root holds Office\Setup64.exe and
// Office\Setup32.exe (with -PassThru | Get-Volume it prints the drive letter), Get-DiskImage |
// Get-Volume prints it later, Dismount-DiskImage takes the drive away again. options.h lists the
// misbehaviours.
#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <string>
#include <vector>

#include "support/doubles/call_record.h"
#include "support/doubles/options.h"
#include "support/doubles/personalities.h"
#include "support/doubles/self_copy.h"
#include "support/doubles/wine_mount.h"

namespace {

// The path after -ImagePath: \"...\", "..." or a bare word.
std::wstring ImagePathArgument(const std::wstring &commandLine) {
    size_t pos = FindNoCase(commandLine, L"-ImagePath");
    if (pos == std::wstring::npos) return {};
    pos += 10;
    while (pos < commandLine.size() && commandLine[pos] == L' ') ++pos;
    std::wstring rest = commandLine.substr(pos);
    for (const wchar_t *quote : {L"\\\"", L"\"", L"'"}) {
        std::wstring q(quote);
        if (rest.compare(0, q.size(), q) == 0) {
            size_t end = rest.find(q, q.size());
            return end == std::wstring::npos ? std::wstring() : rest.substr(q.size(), end - q.size());
        }
    }
    return rest.substr(0, rest.find_first_of(L" \""));
}

std::wstring MountFolder(wchar_t letter) { return DoublesFolder() + L"\\mounts\\" + letter; }
std::wstring MountStateFile(wchar_t letter) { return DoublesFolder() + L"\\mounts\\" + letter + L".image"; }

std::wstring ReadState(wchar_t letter) {
    HANDLE file = CreateFileW(MountStateFile(letter).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    wchar_t path[1024] = {};
    DWORD got = 0;
    ReadFile(file, path, sizeof(path) - sizeof(wchar_t), &got, nullptr);
    CloseHandle(file);
    return path;
}

bool WriteState(wchar_t letter, const std::wstring &image) {
    HANDLE file = CreateFileW(MountStateFile(letter).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, image.c_str(), static_cast<DWORD>(image.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return ok != FALSE;
}

wchar_t LetterHolding(const std::wstring &image) {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        std::wstring held = ReadState(letter);
        if (!held.empty() && CompareStringOrdinal(held.c_str(), -1, image.c_str(), -1, TRUE) == CSTR_EQUAL) return letter;
    }
    return 0;
}

// "image <bytes> bytes sha256 <hex>", so a test can compare what reached the mount with what the
// mirror served; "image unreadable" when the file cannot be read to its end.
std::wstring ImageFingerprint(const std::wstring &image) {
    HANDLE file = CreateFileW(image.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"image unreadable";
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    unsigned long long total = 0;
    std::vector<unsigned char> buffer(1 << 20);
    DWORD got = 0;
    while (ok && (ok = ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE) && got > 0) {
        ok = BCryptHashData(hash, buffer.data(), got, 0) == 0;
        total += got;
    }
    unsigned char digest[32] = {};
    ok = ok && BCryptFinishHash(hash, digest, sizeof(digest), 0) == 0;
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    CloseHandle(file);
    if (!ok) return L"image unreadable";
    wchar_t hex[65] = {};
    for (int i = 0; i < 32; ++i) std::swprintf(hex + 2 * i, 3, L"%02x", digest[i]);
    return L"image " + std::to_wstring(total) + L" bytes sha256 " + hex;
}

int Fail(const std::wstring &why) {
    AppendCallRecord(L"error: " + why);
    std::fwprintf(stderr, L"%ls\n", why.c_str());
    return 1;
}

bool DriveDefined(wchar_t letter) {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    return GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR;
}

// A drive folder with the setup programs, attached to image in the mount state.
bool FillDrive(wchar_t letter, const std::wstring &image) {
    std::wstring folder = MountFolder(letter);
    CreateDirectoryW((DoublesFolder() + L"\\mounts").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\Office").c_str(), nullptr);
    return CopyFileW(SetupProgramSource(L"Setup64.exe").c_str(), (folder + L"\\Office\\Setup64.exe").c_str(), FALSE) &&
           CopyFileW(SetupProgramSource(L"Setup32.exe").c_str(), (folder + L"\\Office\\Setup32.exe").c_str(), FALSE) &&
           WriteState(letter, image);
}

// Another user of the PC mounts a disc of their own, with a setup signed as the real one, at the
// moment the program mounts its image.
void MountNeighboursDisc() {
    const std::wstring wanted = DoubleOption(L"HALDEN_DOUBLE_NEIGHBOUR_DRIVE");
    if (wanted.empty()) return;
    const wchar_t letter = static_cast<wchar_t>(towupper(wanted[0]));
    if (letter < L'A' || letter > L'Z' || DriveDefined(letter)) return;
    if (FillDrive(letter, L"neighbour disc") && DefineWineDrive(letter, MountFolder(letter), DRIVE_CDROM))
        AppendCallRecord(std::wstring(L"a neighbour mounted ") + letter + L":");
}

// What "(... | Get-Volume).DriveLetter" prints: the letter, or an empty line while there is none.
void PrintDriveLetter(wchar_t letter) {
    if (letter != 0 && DriveDefined(letter)) {
        std::printf("%c\r\n", static_cast<char>(letter));
    } else {
        std::printf("\r\n");
    }
}

int Mount(const std::wstring &image, bool passThru) {
    const DWORD attributes = image.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(image.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(L"no image " + image);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(L"not a disc image: " + image);  // as Mount-DiskImage
    if (LetterHolding(image) != 0) return Fail(L"already mounted " + image);
    MountNeighboursDisc();
    // One outcome line per call, as for every command: what happened, then what the image was.
    const std::wstring fingerprint = L" (" + ImageFingerprint(image) + L")";
    if (DoubleOption(L"HALDEN_DOUBLE_MOUNT_NO_DRIVE") == L"1") {
        AppendCallRecord(L"attached without a drive letter" + fingerprint);
        HideInterpreterIfAskedAfter(L"mount");
        if (passThru) PrintDriveLetter(0);
        return 0;
    }
    wchar_t letter = FirstFreeDriveLetter();
    if (letter == 0) return Fail(L"no free drive letter");
    if (!FillDrive(letter, image)) return Fail(L"cannot fill " + MountFolder(letter));
    const unsigned long delayMs = DoubleOptionNumber(L"HALDEN_DOUBLE_MOUNT_DELAY_MS");
    if (delayMs > 0) {
        // As Mount-DiskImage on Windows may return before the volume has its letter.
        std::wstring arguments = std::wstring(1, letter) + L" " + std::to_wstring(delayMs);
        if (!StartCopyOfSelf(L"HaldenLateDrive.exe", arguments)) return Fail(L"cannot start the late drive");
        AppendCallRecord(std::wstring(L"mounting ") + letter + L": in " + std::to_wstring(delayMs) + L" ms" + fingerprint);
    } else {
        if (!DefineWineDrive(letter, MountFolder(letter), DRIVE_CDROM)) {
            DeleteFileW(MountStateFile(letter).c_str());  // not attached after all
            return Fail(L"the mount manager refused " + std::wstring(1, letter) + L": (error " + std::to_wstring(GetLastError()) + L")");
        }
        AppendCallRecord(std::wstring(L"mounted ") + letter + L":" + fingerprint);
    }
    HideInterpreterIfAskedAfter(L"mount");
    if (passThru) {
        PrintDriveLetter(letter);
    } else {
        std::printf("\nAttached          : True\nDevicePath        : \\\\.\\CDROM0\n");
    }
    return 0;
}

// "(Get-DiskImage -ImagePath X | Get-Volume).DriveLetter": the letter of X's volume, if it has one.
int VolumeLetter(const std::wstring &image) {
    const wchar_t letter = image.empty() ? 0 : LetterHolding(image);
    if (letter == 0) return Fail(L"not attached " + image);
    AppendCallRecord(DriveDefined(letter) ? std::wstring(L"volume ") + letter + L":" : L"volume without a letter");
    PrintDriveLetter(letter);
    return 0;
}

int Dismount(const std::wstring &image) {
    wchar_t letter = image.empty() ? 0 : LetterHolding(image);
    if (letter == 0) return Fail(L"not mounted " + image);
    if (!RemoveWineDrive(letter)) return Fail(L"cannot dismount " + image);
    std::wstring folder = MountFolder(letter);
    DeleteFileW((folder + L"\\Office\\Setup64.exe").c_str());
    DeleteFileW((folder + L"\\Office\\Setup32.exe").c_str());
    RemoveDirectoryW((folder + L"\\Office").c_str());
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(MountStateFile(letter).c_str());
    AppendCallRecord(std::wstring(L"dismounted ") + letter + L":");
    return 0;
}

}  // namespace

// HaldenLateDrive.exe LETTER DELAY_MS: the drive of an image mounted with a delay. It gives up if
// the image was dismounted meanwhile.
int RunLateDrive(const std::wstring &commandLine) {
    int count = 0;
    LPWSTR *argv = CommandLineToArgvW(commandLine.c_str(), &count);
    wchar_t letter = count == 3 ? static_cast<wchar_t>(towupper(argv[1][0])) : 0;
    unsigned long delayMs = count == 3 ? std::wcstoul(argv[2], nullptr, 10) : 0;
    LocalFree(argv);
    Sleep(delayMs);
    if (letter < L'A' || letter > L'Z' || ReadState(letter).empty()) return Fail(L"no image waits for a drive");
    if (!DefineWineDrive(letter, MountFolder(letter), DRIVE_CDROM)) return Fail(L"cannot define the late drive");
    AppendCallRecord(std::wstring(L"mounted ") + letter + L":");
    return 0;
}

int RunPowershell(const std::wstring &commandLine) {
    AppendCallRecord(L"");
    if (FindNoCase(commandLine, L"Dismount-DiskImage") != std::wstring::npos) return Dismount(ImagePathArgument(commandLine));
    if (FindNoCase(commandLine, L"Mount-DiskImage") != std::wstring::npos)
        return Mount(ImagePathArgument(commandLine), FindNoCase(commandLine, L"-PassThru") != std::wstring::npos);
    if (FindNoCase(commandLine, L"Get-DiskImage") != std::wstring::npos) return VolumeLetter(ImagePathArgument(commandLine));
    return static_cast<int>(DoubleOptionNumber(L"HALDEN_DOUBLE_POWERSHELL_EXIT"));
}
