#include "app/image_steps.h"

#include "app/image_source.h"
#include "log/gbk_text.h"
#include "log/private_files.h"
#include "sysops/system_checks.h"

std::string ChooseImageDrive() {
    DriveSpaceMap drives;
    GetDriveSpaceMap(drives);
    const std::string root = FirstRootWithMoreFreeGiB(drives, 10);
    return root.size() > 255 ? std::string() : root;
}

std::string PrepareImageFolder(const std::string &root) {
    // Another user may have made a folder, a link or a file of that name first: it is left alone
    // and the next name tried.
    for (int attempt = 0; attempt < kImageFolderAttempts; ++attempt) {
        const std::string folder = ImageFolderOnRoot(root, attempt);
        if (privatefs::EnsurePrivateFolder(WideFromAnsi(folder), false)) return ImagePathInFolder(folder);
    }
    return {};
}

Event StartNewImageFile(CImageFile &imageFile, const std::string &path) {
    // The folder is the program's; it may have been changed since an earlier press.
    const std::wstring image = WideFromAnsi(path);
    const std::wstring folder = image.substr(0, image.rfind(L'\\'));
    Event made{Event::ImageFileMade, static_cast<int>(ImageFileResult::CannotCreate)};
    if (!privatefs::EnsurePrivateFolder(folder, false)) {
        made.text = folder;
        return made;
    }
    const CImageFile::Prepared prepared = imageFile.Prepare(image, made.text);
    if (prepared == CImageFile::Prepared::Ready) made.value = static_cast<int>(ImageFileResult::Ready);
    if (prepared == CImageFile::Prepared::OldFileStays) made.value = static_cast<int>(ImageFileResult::OldFileStays);
    return made;
}
