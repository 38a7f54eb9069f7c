#include "sysops/image_file.h"

#include <vector>

#include "sha256.h"

namespace {

std::wstring ErrorText(DWORD error) { return L"(" + std::to_wstring(error) + L")"; }

// Marks the file behind handle for deletion; it goes when its last handle is closed.
bool DeleteByHandle(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

bool IsPlainSingleFile(const privatefs::HandleFacts &facts) {
    return facts.read && facts.atPath && !facts.directory && !facts.reparsePoint && facts.links == 1;
}

// Deletes a file of an earlier attempt at path, if it is a plain file of ours; nothing there is fine.
CImageFile::Prepared RemoveEarlier(const std::wstring &path, std::wstring &detail) {
    // Without delete sharing: a file another program holds open stays, and says so here.
    privatefs::FileHandle earlier =
        privatefs::OpenNoFollow(path, DELETE | FILE_READ_ATTRIBUTES | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!earlier.IsValid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return CImageFile::Prepared::Ready;
        detail = path + L" " + ErrorText(error);
        return CImageFile::Prepared::OldFileStays;
    }
    if (!privatefs::IsOwnFile(privatefs::FactsOf(earlier.Get(), path))) {
        detail = path + L" 不是本程序的文件";
        return CImageFile::Prepared::SomethingElse;
    }
    if (!DeleteByHandle(earlier.Get())) {
        detail = path + L" " + ErrorText(GetLastError());
        return CImageFile::Prepared::OldFileStays;
    }
    return CImageFile::Prepared::Ready;
}

// The engine's note is a few hundred bytes; a note it cannot read makes it start from nothing.
constexpr ULONGLONG kMaxNoteBytes = 4096;

// Opens the partial image at path with the access the program holds it by, when it and the engine's
// note beside it are plain files of ours that hold something; invalid otherwise.
privatefs::FileHandle OpenResumable(const std::wstring &path, privatefs::HandleFacts &facts) {
    const std::wstring notePath = path + L".dravlin";
    privatefs::FileHandle note = privatefs::OpenNoFollow(notePath, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ);
    const privatefs::HandleFacts noteFacts = privatefs::FactsOf(note.Get(), notePath);
    if (!privatefs::IsOwnFile(noteFacts) || noteFacts.size == 0 || noteFacts.size > kMaxNoteBytes) return {};
    char text[kMaxNoteBytes];
    DWORD read = 0;
    if (!ReadFile(note.Get(), text, sizeof(text), &read, nullptr) || read != noteFacts.size) return {};
    privatefs::FileHandle image =
        privatefs::OpenNoFollow(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE);
    facts = privatefs::FactsOf(image.Get(), path);
    if (!privatefs::IsOwnFile(facts) || facts.size == 0) return {};
    return image;
}

}  // namespace

ULONGLONG CImageFile::ResumableBytes(const std::wstring &path) {
    privatefs::HandleFacts facts;
    return OpenResumable(path, facts).IsValid() ? facts.size : 0;
}

CImageFile::Prepared CImageFile::Prepare(const std::wstring &path, std::wstring &detail) {
    privatefs::HandleFacts facts;
    if (m_hold.IsValid()) {
        // The file this run held, left by a download the network broke off: taken up again, when it
        // is still that very file with the engine's note beside it.
        privatefs::FileHandle again;
        if (path == m_path) again = OpenResumable(path, facts);
        if (again.IsValid() && facts.identity == m_identity) {
            m_hold = std::move(again);
            detail = path + L" " + std::to_wstring(facts.size) + L" 字节";
            return Prepared::Resumed;
        }
        std::wstring ignored;  // a file no longer ours at the name is met again just below
        Delete(ignored);
    }
    m_path = path;
    m_hold = OpenResumable(path, facts);
    if (m_hold.IsValid()) {
        m_identity = facts.identity;
        detail = path + L" " + std::to_wstring(facts.size) + L" 字节";
        return Prepared::Resumed;
    }
    for (const std::wstring &earlier : {path, path + L".dravlin"}) {
        const Prepared removed = RemoveEarlier(earlier, detail);
        if (removed != Prepared::Ready) return removed;
    }
    m_hold = privatefs::CreatePrivateFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!m_hold.IsValid()) {
        // Something came at the name between the deletion and now.
        detail = path + L" " + ErrorText(GetLastError());
        return Prepared::CannotCreate;
    }
    m_identity = privatefs::FactsOf(m_hold.Get(), path).identity;
    return Prepared::Ready;
}

bool CImageFile::StillOurs() const {
    if (!m_hold.IsValid()) return false;
    privatefs::FileHandle now = privatefs::OpenNoFollow(m_path, FILE_READ_ATTRIBUTES,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    const privatefs::HandleFacts facts = privatefs::FactsOf(now.Get(), m_path);
    return IsPlainSingleFile(facts) && facts.identity == m_identity;
}

bool CImageFile::Delete(std::wstring &detail) {
    if (!m_hold.IsValid()) {
        detail = m_path + L" 未由本次运行创建";
        return false;
    }
    m_hold.Close();
    // Nobody else may have it open meanwhile: what is checked here is what is deleted.
    privatefs::FileHandle file = privatefs::OpenNoFollow(m_path, DELETE | FILE_READ_ATTRIBUTES, 0);
    if (!file.IsValid()) {
        detail = m_path + L" " + ErrorText(GetLastError());
        return false;
    }
    const privatefs::HandleFacts facts = privatefs::FactsOf(file.Get(), m_path);
    if (!IsPlainSingleFile(facts) || !(facts.identity == m_identity)) {
        detail = m_path + L" 已不是下载的镜像文件，未删除";
        return false;
    }
    if (!DeleteByHandle(file.Get())) {
        detail = m_path + L" " + ErrorText(GetLastError());
        return false;
    }
    // The engine's note of an unfinished download goes too when it is ours; one that stays is met
    // again, and refused or deleted, by the next Prepare.
    std::wstring ignored;
    RemoveEarlier(m_path + L".dravlin", ignored);
    return true;
}

bool CImageFile::Sha256Hex(std::string &hex, std::wstring &detail) const {
    if (!StillOurs()) {
        detail = m_path + L" 已不是下载的镜像文件";
        return false;
    }
    DravlinSha256 context;
    DravlinSha256Init(&context);
    std::vector<unsigned char> buffer(1 << 20);
    ULONGLONG offset = 0;
    for (;;) {
        // At an offset of its own: the held handle's file position is nobody's to move.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(m_hold.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            detail = m_path + L" " + ErrorText(GetLastError());
            return false;
        }
        if (got == 0) break;
        DravlinSha256Update(&context, buffer.data(), got);
        offset += got;
    }
    unsigned char digest[DRAVLIN_SHA256_BYTES];
    DravlinSha256Final(&context, digest);
    static const char digits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return true;
}

long long CImageFile::Size() const {
    LARGE_INTEGER size{};
    if (!m_hold.IsValid() || !GetFileSizeEx(m_hold.Get(), &size)) return -1;
    return size.QuadPart;
}
