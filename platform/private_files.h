#pragma once
// Files and folders of the program's own in places every user of the PC can write (a drive's root,
// the all-users data folder): made with a DACL that grants only Administrators and SYSTEM, opened
// without following a link, and never written through something another user left at the name.
//
// What counts as the program's own: a plain file with a single link (or a folder that is no
// reparse point) whose owner is Administrators, SYSTEM or this process's own user. Anything else
// found at a name the program must use is moved aside (renamed by a handle to the thing itself), not
// written through and not deleted: it may be someone else's.
#include <windows.h>

#include <string>

namespace privatefs {

// Owns one file handle and closes it once. Move-only.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : m_hFile(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~FileHandle() { Close(); }
    FileHandle(FileHandle &&other) noexcept : m_hFile(other.m_hFile) { other.m_hFile = nullptr; }
    FileHandle &operator=(FileHandle &&other) noexcept;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    HANDLE Get() const { return m_hFile; }
    bool IsValid() const { return m_hFile != nullptr; }
    void Close();

private:
    HANDLE m_hFile = nullptr;
};

// 16 hex digits for a part of a name that another user cannot guess ahead of time and so cannot
// take first.
std::wstring RandomPart();

// Where a file is on its volume: the same identity means the same file, whatever its name now.
struct FileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool operator==(const FileIdentity &other) const { return volume == other.volume && index == other.index; }
};

// What the handle shows of the thing it was opened on.
struct HandleFacts {
    bool read = false;  // the facts could be read at all
    bool directory = false;
    bool reparsePoint = false;
    DWORD links = 0;
    bool trustedOwner = false;  // Administrators, SYSTEM or this process's user
    bool adminOwner = false;    // Administrators or SYSTEM: nothing an unelevated program can make
    bool atPath = false;        // the handle is the thing at the path it was opened by, not a link's target
    FileIdentity identity;
    ULONGLONG size = 0;
};
HandleFacts FactsOf(HANDLE handle, const std::wstring &path);

// A plain file with one name, at its path itself, owned by someone trusted.
bool IsOwnFile(const HandleFacts &facts);

// Whether files made in folder keep the owner their maker gives them. Wine records none: every file
// of the prefix's own Unix user reads as owned by the process's user, whatever was asked for (and a
// file of another Unix user as owned by Anonymous Logon). Probed once per process with a file made
// and deleted on close.
bool SystemKeepsOwners(const std::wstring &folder);

// Like CreatePrivateFile, with Administrators named as the owner (where the system refuses that
// owner, the creator's default one).
FileHandle CreateAdministratorsFile(const std::wstring &path, DWORD access, DWORD share);

// Opens what is at path itself, never a link's target: a folder with backup semantics, anything
// with FILE_FLAG_OPEN_REPARSE_POINT. Invalid when nothing is there or it cannot be opened.
FileHandle OpenNoFollow(const std::wstring &path, DWORD access, DWORD share);

// Renames whatever is at path to a fresh name beside it ("<name>.<16 random hex digits>.moved", so
// that nobody can take the names it will use first); true when the name
// is free afterwards (also when nothing was there). A link is renamed itself, never its target: where
// the system will not open the link itself, it is left alone and the result is false.
bool MoveAside(const std::wstring &path);

// Makes sure path is a folder of the program's own with the Administrators/SYSTEM DACL: made, or an
// existing own folder whose DACL is set to that one. What else stands at the name is moved aside
// when moveForeign is set; otherwise the result is false and the caller picks another name.
bool EnsurePrivateFolder(const std::wstring &path, bool moveForeign);

// Creates a new file at path with the Administrators/SYSTEM DACL (CREATE_NEW: never an existing
// one). access and share as for CreateFileW.
FileHandle CreatePrivateFile(const std::wstring &path, DWORD access, DWORD share);

// Opens the program's own file at path for appending, or creates it; anything else at the name is
// moved aside first. Invalid when neither works.
FileHandle OpenPrivateFileForAppend(const std::wstring &path);

// A new file of the program's own at a name that an administrator gave (a log the command line
// names): a plain file there is replaced, even a read-only one, by deleting that name through a
// handle to the file itself. A link, a folder, or a name reached through a link in one of its
// folders is left alone and the result is invalid (ERROR_CANT_ACCESS_FILE), as when the file
// cannot be made. access as for CreateFileW; DELETE and FILE_READ_ATTRIBUTES are added.
FileHandle ReplaceWithPrivateFile(const std::wstring &path, DWORD access, DWORD share);

}  // namespace privatefs
