#pragma once
// The disc image file of one attempt. The program makes it anew for every download, in a folder of
// its own, holds it open so that nobody can delete or rename it while the program relies on it,
// and in the end deletes exactly that file: never something else found at its name.
#include <windows.h>

#include <string>

#include "platform/private_files.h"

class CImageFile {
public:
    enum class Prepared {
        Ready,          // a new, empty file of ours is at the path and held
        Resumed,        // the partial file an earlier run left is ours, with the engine's note: held
        OldFileStays,   // the image (or the engine's note beside it) of an earlier attempt could not be deleted
        SomethingElse,  // a folder, a link or someone else's file is at the path: left alone
        CannotCreate,   // the new file could not be made
    };

    CImageFile() = default;
    CImageFile(const CImageFile &) = delete;
    CImageFile &operator=(const CImageFile &) = delete;

    // Takes up the partial image of an earlier run when it and the download engine's note beside it
    // (path + ".dravlin", which the engine checks against the server) are plain files of ours, so
    // that the engine resumes it. Otherwise deletes both, when they are plain files of ours, and
    // creates the new file. detail says why, for the log (for Resumed: what is kept).
    Prepared Prepare(const std::wstring &path, std::wstring &detail);

    // The bytes of a partial image at path that Prepare would take up; 0 when there is none.
    static ULONGLONG ResumableBytes(const std::wstring &path);

    // The name still leads to the file Prepare made: a plain file with one link, the same identity.
    bool StillOurs() const;

    // Lets go of the file and deletes it (and the engine's note beside it), if the name still leads
    // to it; otherwise leaves whatever is there alone and returns false with detail saying what was found.
    bool Delete(std::wstring &detail);

    // The SHA-256 of the file Prepare made, read through the handle held since then, into hex (64
    // lower-case digits); false, with detail, when it cannot be read to its end or its name no
    // longer leads to it.
    bool Sha256Hex(std::string &hex, std::wstring &detail) const;

    // The size of the file Prepare made, by its handle; -1 when none is held or it cannot be told.
    long long Size() const;

    const std::wstring &Path() const { return m_path; }

private:
    std::wstring m_path;
    privatefs::FileHandle m_hold;  // shares reading and writing (the engine writes), never deletion
    privatefs::FileIdentity m_identity;
};
