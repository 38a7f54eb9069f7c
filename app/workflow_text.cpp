#include "app/workflow_text.h"

#include "dravlin.h"

const wchar_t kRemovalDoneQuestion[] =
    L"卸载成功，需要重启电脑，然后再次运行本软件才能进行下载安装。现在就要重启吗？";

const wchar_t kQuietCopyRunning[] = L"本软件已在后台运行，请等它结束后再试！";

DownloadEnding EndingOf(int endCode) {
    switch (endCode) {
    case AlreadyComplete:
    case Finished: return DownloadEnding::Complete;
    case SizeQueryFailed: return DownloadEnding::SizeQueryFailed;
    case SaveFileFailed: return DownloadEnding::SaveFailed;
    case NetworkInterrupted: return DownloadEnding::Interrupted;
    case OtherError: return DownloadEnding::OtherError;
    case Aborted: return DownloadEnding::Aborted;
    default: return DownloadEnding::Unknown;
    }
}

Outcome OutcomeOf(DownloadEnding ending) {
    switch (ending) {
    case DownloadEnding::SizeQueryFailed: return Outcome::SizeQueryFailed;
    case DownloadEnding::SaveFailed: return Outcome::CannotSave;
    case DownloadEnding::Interrupted: return Outcome::Interrupted;
    case DownloadEnding::Aborted: return Outcome::DownloadAborted;
    case DownloadEnding::OtherError:
    case DownloadEnding::Complete:
    case DownloadEnding::Unknown: break;
    }
    return Outcome::OtherDownloadError;
}

const wchar_t *PromptText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Installed: return L"安装完成！";
    case Outcome::InstalledRestartNeeded: return L"安装完成！请重启电脑后再使用 Office。";
    case Outcome::InstallFailed: return L"安装失败！";
    case Outcome::DismountFailed: return L"卸载镜像文件失败！";
    case Outcome::RemovalFailed: return L"卸载失败！";
    case Outcome::RestartRefused: return L"无法自动重启电脑，请手动重启电脑，然后再次运行本软件进行下载安装。";
    case Outcome::NoRoom: return L"磁盘空间不足，请保证磁盘10GB以上可用空间！";
    case Outcome::OldImageStays: return L"上次下载的镜像文件无法删除，请关闭正在使用它的程序后重试！";
    case Outcome::CannotSave: return L"下载文件保存失败！";
    case Outcome::SizeQueryFailed: return L"网络问题获取失败！";
    case Outcome::Interrupted: return L"网络中断！";
    case Outcome::OtherDownloadError: return L"其他错误！";
    case Outcome::DownloadAborted: return L"暂停下载！";
    case Outcome::ImageCorrupt: return L"下载文件校验失败！";
    case Outcome::MountFailed: return L"挂载镜像文件失败！";
    case Outcome::NoSetup: return L"没有找到指定的安装装文件！";
    case Outcome::UnsignedSetup: return L"安装程序的数字签名无效，未安装任何内容！";
    }
    return L"";
}

std::wstring WithoutUserInfo(std::wstring text) {
    for (size_t scheme = text.find(L"://"); scheme != std::wstring::npos; scheme = text.find(L"://", scheme + 3)) {
        const size_t start = scheme + 3;
        const size_t end = text.find_first_of(L"/?#\\ \t\"'", start);
        const size_t at = text.rfind(L'@', end == std::wstring::npos ? std::wstring::npos : end - 1);
        if (at == std::wstring::npos || at < start) continue;
        text.replace(start, at - start, L"***");
    }
    return text;
}
