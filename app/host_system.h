#pragma once
// The system as the workflow's host asks it (app/workflow_system.h), on Windows: the drive, the
// program's folder and the image file, the marker, the removal, mount and install workers
// (CSystemOps), the restart, and the download engine. Workers and the engine's ending report to the
// window given to Attach, which passes them to the host through ReportFromMessage.
#include <windows.h>

#include <mutex>
#include <string>

#include "app/workflow_host.h"
#include "sysops/system_ops.h"

class CHostSystem : public WorkflowSystem {
public:
    CHostSystem() = default;
    explicit CHostSystem(CommandRunners runners) : m_ops(std::move(runners)) {}

    // The window the workers and the engine's ending report to; false for a null handle.
    bool Attach(HWND window) { return m_ops.Attach(window); }
    CSystemOps &Ops() { return m_ops; }

    void Log(const std::wstring &record) override;
    bool MarkerFound() override;
    void DeleteMarker() override;
    std::string ChooseDrive() override;
    std::wstring MakeImageFolder(const std::string &root, std::wstring &folderText) override;
    ImageFileResult MakeImageFile(const std::wstring &path, std::wstring &detail) override;
    bool DeleteImage(std::wstring &detail) override;
    long long ImageBytes() override { return m_ops.Image().Size(); }
    bool StartRemoval() override { return m_ops.StartRemoveOffice(); }
    bool OfficeWasThere() override { return m_ops.FoundOfficeBefore(); }
    bool StartVerify(const std::string &sha256) override { return m_ops.StartVerifyImage(sha256); }
    std::wstring VerifyRecord() override { return m_ops.VerifyRecord(); }
    bool StartMount() override { return m_ops.MountAndStartSetup(); }
    std::wstring MountRecord() override { return m_ops.MountRecord(); }
    std::wstring InstallRecord() override { return m_ops.InstallRecord(); }
    unsigned long SetupExitCode() override { return m_ops.SetupExitCode(); }
    bool StartInstall() override { return m_ops.StartInstallFromMount(); }
    bool Restart(int &error) override;
    std::string ImageUrl() override;
    std::string ImageSha256() override;
    void BindEngine(EngineListener &listener) override;
    bool StartDownload(int taskId, const std::string &url, const std::wstring &path) override;
    void PassEnding(int endCode, const EngineFailure &failure) override;
    bool StartRetryTimer() override;
    void StopRetryTimer() override;
    unsigned long long NowMs() override { return GetTickCount64(); }
    void ReleaseEngine() override;

    // A worker's message, the engine's ending (with the failure it passed) or the retry timer's
    // tick, as the host takes it; false for any other message.
    bool ReportFromMessage(UINT message, WPARAM wParam, LPARAM lParam, WorkerReport &report);

private:
    CSystemOps m_ops;
    std::mutex m_passingLock;  // guards m_passing: written on the engine's thread, read on this one
    EngineFailure m_passing;   // of the ending being passed now
};
