#include "app/workflow_text.h"

#include "app/download_failure.h"
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

EngineFailure EngineFailure::From(const DownloadFailure &failure) {
    EngineFailure result;
    result.kind = failure.kind >= DownloadNoFailure && failure.kind <= DownloadDigestMismatch
                      ? static_cast<DownloadFailureKind>(failure.kind)
                      : DownloadOtherFailure;
    result.httpStatus = failure.httpStatus;
    result.retryAfterSeconds = failure.retryAfterSeconds;
    // The engine always ends the text, but it is the engine's buffer: never read past it.
    size_t length = 0;
    while (length < sizeof failure.text && failure.text[length] != '\0') ++length;
    result.text.assign(failure.text, length);
    return result;
}

Outcome OutcomeOf(DownloadEnding ending, const EngineFailure &failure) {
    switch (failure.kind) {
    case DownloadDiskFull: return Outcome::CannotSave;
    case DownloadStalled:
    case DownloadConnectionBroken: return Outcome::Interrupted;
    default: return OutcomeOf(ending);
    }
}

std::wstring WideFromUtf8(const std::string &text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 0;
        unsigned long code = length == 1 ? lead : length == 2 ? (lead & 0x1Fu) : (lead & 0x0Fu);
        bool whole = length != 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        // Overlong forms and surrogates are no text either.
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        if (whole && ((length == 2 && code < 0x80) || (length == 3 && (code < 0x800 || surrogate)))) whole = false;
        wide += whole ? static_cast<wchar_t>(code) : L'?';
        i += whole ? length : 1;
    }
    return wide;
}

std::wstring FailureReason(const EngineFailure &failure) {
    std::wstring text = WithoutUserInfo(WideFromUtf8(failure.text));
    // The engine's text of an answered request already names the status; any other (a stall in
    // the middle of a 206) gets it in front when it is a failure of its own.
    const std::wstring status = L"HTTP " + std::to_wstring(failure.httpStatus);
    if (failure.httpStatus >= 400 && failure.httpStatus <= 599 && text.find(status) == std::wstring::npos)
        text = text.empty() ? status : status + L" " + text;
    return text;
}
