#include "platform/private_files.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <memory>
#include <vector>

// RtlGenRandom, from advapi32, a known library: bcrypt.dll is loaded by name, so an import of it
// would take one left beside the program before the search is hardened.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace privatefs {
namespace {

// Protected: nothing is inherited from a parent that everyone may write to.
const wchar_t kFolderSddl[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
const wchar_t kFileSddl[] = L"D:P(A;;FA;;;BA)(A;;FA;;;SY)";
const wchar_t kAdministratorsFileSddl[] = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)";

struct LocalFreeDeleter {
    void operator()(void *memory) const { LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreeDeleter>;

LocalMemory Descriptor(const wchar_t *sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return {};
    return LocalMemory(descriptor);
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(buffer);
    return CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

bool IsProcessUser(PSID sid) {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return false;
    FileHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);  // asks for the size only
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return false;
    return EqualSid(sid, reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid) != FALSE;
}

// Reads the owner of handle into facts: trusted and adminOwner.
void ReadOwner(HANDLE handle, HandleFacts &facts) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return;
    }
    LocalMemory hold(descriptor);
    if (!owner) return;
    facts.adminOwner = IsWellKnown(owner, WinBuiltinAdministratorsSid) || IsWellKnown(owner, WinLocalSystemSid);
    // The process's own user: what an administrator made unelevated is theirs, and on a system
    // that records no owners of its own the user is all it reports.
    facts.trustedOwner = facts.adminOwner || IsProcessUser(owner);
}

bool ReadsAsAdministrators(HANDLE handle) {
    HandleFacts facts;
    ReadOwner(handle, facts);
    return facts.adminOwner;
}

std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length + 1);
    }
    return {};
}

// Where the handle really is, against where its name says it is: its folder's final path and its
// own name. A handle opened with FILE_FLAG_OPEN_REPARSE_POINT is the link itself on Windows; where
// a system follows a file link anyway, the handle's final path is the target's and this says so.
bool HandleIsAtPath(HANDLE handle, const std::wstring &path) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= path.size()) return false;
    FileHandle folder(CreateFileW(path.substr(0, slash + 1).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::wstring folderPath = folder.IsValid() ? FinalPath(folder.Get()) : std::wstring();
    const std::wstring own = FinalPath(handle);
    if (folderPath.empty() || own.empty()) return false;
    if (folderPath.back() != L'\\') folderPath += L'\\';
    const std::wstring expected = folderPath + path.substr(slash + 1);
    return CompareStringOrdinal(own.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The full path as written, in the form a handle's final path takes.
std::wstring FullPath(const std::wstring &path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return {};
    full.resize(written);
    return full;
}

// The handle is the thing at path as written, reached through no link in any of its folders.
bool HandleIsAtFullPath(HANDLE handle, const std::wstring &path) {
    std::wstring own = FinalPath(handle);
    const std::wstring full = FullPath(path);
    if (own.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        own.replace(0, 8, L"\\\\");  // a share's file, as its full path names it
    } else if (own.compare(0, 4, L"\\\\?\\") == 0) {
        own.erase(0, 4);
    }
    return !own.empty() && !full.empty() && CompareStringOrdinal(own.c_str(), -1, full.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool DeleteByHandle(HANDLE handle) {
    // A read-only file is deleted too: it is cleared through the same handle first.
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic));  // the deletion says whether it mattered
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

bool SetPrivateDacl(HANDLE folder) {
    LocalMemory descriptor = Descriptor(kFolderSddl);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!descriptor || !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) || !present) return false;
    return SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::wstring RandomPart() {
    unsigned char bytes[8] = {};
    if (!SystemFunction036(bytes, sizeof(bytes))) {
        // Never seen; the clock still gives a name nobody holds right now.
        const ULONGLONG tick = GetTickCount64() ^ (static_cast<ULONGLONG>(GetCurrentProcessId()) << 32);
        memcpy(bytes, &tick, sizeof(bytes));
    }
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept {
    if (this != &other) {
        Close();
        m_hFile = other.m_hFile;
        other.m_hFile = nullptr;
    }
    return *this;
}

void FileHandle::Close() {
    if (m_hFile) CloseHandle(m_hFile);
    m_hFile = nullptr;
}

HandleFacts FactsOf(HANDLE handle, const std::wstring &path) {
    HandleFacts facts;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle, &info)) return facts;
    facts.read = true;
    facts.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.links = info.nNumberOfLinks;
    facts.identity = {info.dwVolumeSerialNumber, (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    ReadOwner(handle, facts);
    facts.atPath = HandleIsAtPath(handle, path);
    return facts;
}

bool IsOwnFile(const HandleFacts &facts) {
    return facts.read && facts.atPath && !facts.directory && !facts.reparsePoint && facts.links == 1 && facts.trustedOwner;
}

FileHandle OpenNoFollow(const std::wstring &path, DWORD access, DWORD share) {
    return FileHandle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool MoveAside(const std::wstring &path) {
    FileHandle thing = OpenNoFollow(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!thing.IsValid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
    // Renamed by its handle, and only when the handle is the thing at the name itself (on Windows
    // also a link, opened as such): a system that follows a link even so would move its target.
    if (!HandleIsAtPath(thing.Get(), path)) return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::wstring aside = path + L"." + RandomPart() + L".moved";
        std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + aside.size() * sizeof(wchar_t));
        auto *rename = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(aside.size() * sizeof(wchar_t));
        memcpy(rename->FileName, aside.c_str(), rename->FileNameLength);
        if (SetFileInformationByHandle(thing.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool EnsurePrivateFolder(const std::wstring &path, bool moveForeign) {
    LocalMemory descriptor = Descriptor(kFolderSddl);
    if (!descriptor) return false;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateDirectoryW(path.c_str(), &attributes)) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
        {
            FileHandle existing = OpenNoFollow(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            const HandleFacts facts = FactsOf(existing.Get(), path);
            // The name's own attributes too: where a system opens a folder link's target even so, it
            // still reports the link at the name.
            const DWORD named = GetFileAttributesW(path.c_str());
            const bool link = facts.reparsePoint || named == INVALID_FILE_ATTRIBUTES || (named & FILE_ATTRIBUTE_REPARSE_POINT);
            // Ours, or made by an administrator: its DACL then shuts everyone else out from now on.
            if (facts.read && facts.atPath && facts.directory && !link && facts.trustedOwner &&
                SetPrivateDacl(existing.Get())) {
                return true;
            }
        }
        if (!moveForeign || !MoveAside(path)) return false;
    }
    return false;
}

FileHandle CreatePrivateFile(const std::wstring &path, DWORD access, DWORD share) {
    LocalMemory descriptor = Descriptor(kFileSddl);
    if (!descriptor) return {};
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    return FileHandle(CreateFileW(path.c_str(), access, share, &attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool SystemKeepsOwners(const std::wstring &folder) {
    static const bool keeps = [&] {
        LocalMemory descriptor = Descriptor(kAdministratorsFileSddl);
        if (!descriptor) return true;
        SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
        // A fresh name, made new and gone with its handle: nothing of anyone else's is touched.
        const std::wstring probe = folder + L"\\owner-probe-" + RandomPart() + L".tmp";
        FileHandle file(CreateFileW(probe.c_str(), READ_CONTROL | DELETE, 0, &attributes, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
        // Where no probe can be made, the strict answer.
        return !file.IsValid() || ReadsAsAdministrators(file.Get());
    }();
    return keeps;
}

FileHandle CreateAdministratorsFile(const std::wstring &path, DWORD access, DWORD share) {
    LocalMemory descriptor = Descriptor(kAdministratorsFileSddl);
    if (!descriptor) return {};
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    FileHandle file(CreateFileW(path.c_str(), access, share, &attributes, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid() && GetLastError() == ERROR_INVALID_OWNER) return CreatePrivateFile(path, access, share);
    return file;
}

FileHandle OpenPrivateFileForAppend(const std::wstring &path) {
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
    // Others may read, move or delete the log between records.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    for (int attempt = 0; attempt < 3; ++attempt) {
        FileHandle existing = OpenNoFollow(path, access, share);
        if (existing.IsValid()) {
            if (IsOwnFile(FactsOf(existing.Get(), path))) return existing;
            existing.Close();
            if (!MoveAside(path)) return {};
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return {};
        }
        FileHandle created = CreatePrivateFile(path, access, share);
        if (created.IsValid() || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) {
            return created;
        }
    }
    return {};
}

FileHandle ReplaceWithPrivateFile(const std::wstring &path, DWORD access, DWORD share) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        FileHandle existing = OpenNoFollow(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (existing.IsValid()) {
            const HandleFacts facts = FactsOf(existing.Get(), path);
            // A name of a plain file in a folder reached through no link: only that name goes.
            const bool plainFile = facts.read && !facts.directory && !facts.reparsePoint;
            if (!plainFile || !HandleIsAtFullPath(existing.Get(), path)) {
                SetLastError(ERROR_CANT_ACCESS_FILE);
                return {};
            }
            if (!DeleteByHandle(existing.Get())) return {};
            existing.Close();
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return {};
        }
        FileHandle created = CreatePrivateFile(path, access | DELETE | FILE_READ_ATTRIBUTES, share);
        if (created.IsValid()) {
            // Made through a folder link, it would be in someone else's folder: it goes again.
            if (HandleIsAtFullPath(created.Get(), path)) return created;
            DeleteByHandle(created.Get());
            SetLastError(ERROR_CANT_ACCESS_FILE);
            return {};
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

}  // namespace privatefs
