#include "app/workflow_text.h"

const wchar_t kRemovalDoneQuestion[] =
    L"卸载成功，需要重启电脑，然后再次运行本软件才能进行下载安装。现在就要重启吗？";
const wchar_t kRestartRefusedText[] = L"无法自动重启电脑，请手动重启电脑，然后再次运行本软件进行下载安装。";
const wchar_t kNoRoomText[] = L"磁盘空间不足，请保证磁盘10GB以上可用空间！";
const wchar_t kOldImageStaysText[] = L"上次下载的镜像文件无法删除，请关闭正在使用它的程序后重试！";
const wchar_t kRemovalFailedText[] = L"卸载失败！";
const wchar_t kMountFailedText[] = L"挂载镜像文件失败！";
const wchar_t kNoSetupText[] = L"没有找到指定的安装装文件！";
const wchar_t kUnsignedSetupText[] = L"安装程序的数字签名无效，未安装任何内容！";

unsigned DownloadResultFor(int endCode) {
    switch (endCode) {
    case 301:  // already complete
    case 303:  // finished
        return 1;
    case 201: return 3;  // size query failed
    case 202: return 4;  // file cannot be saved
    case 203: return 5;  // connection broke off
    case 204: return 6;  // other transfer error
    case 302: return 7;  // cancelled
    default: return 0;
    }
}

const wchar_t *DownloadResultPrompt(unsigned result) {
    switch (result) {
    case 3: return L"网络问题获取失败！";
    case 4: return L"下载文件保存失败！";
    case 5: return L"网络中断！";
    case 6: return L"其他错误！";
    case 7: return L"暂停下载！";
    default: return nullptr;
    }
}

const wchar_t *InstallResultPrompt(unsigned result) {
    switch (result) {
    case 1: return L"安装完成！";
    case 2: return L"安装失败！";
    case 3: return L"卸载镜像文件失败！";
    default: return nullptr;
    }
}

const wchar_t *InstallResultRecord(unsigned result) {
    switch (result) {
    case 2: return L"安装失败";
    case 3: return L"卸载镜像文件失败";
    default: return nullptr;
    }
}
