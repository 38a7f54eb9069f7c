#pragma once
// Guards of the kernel's handles: each closes what it owns once.
#include <windows.h>

#include <utility>

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : m_hHandle(handle) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(ScopedHandle &&other) noexcept : m_hHandle(std::exchange(other.m_hHandle, nullptr)) {}
    ScopedHandle &operator=(ScopedHandle &&other) noexcept {
        if (this != &other) {
            Close();
            m_hHandle = std::exchange(other.m_hHandle, nullptr);
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle &) = delete;
    ScopedHandle &operator=(const ScopedHandle &) = delete;

    HANDLE Get() const { return m_hHandle; }
    bool IsValid() const { return m_hHandle != nullptr && m_hHandle != INVALID_HANDLE_VALUE; }
    void Close() {
        if (IsValid()) CloseHandle(m_hHandle);
        m_hHandle = nullptr;
    }

private:
    HANDLE m_hHandle = nullptr;
};

// A key below HKEY_LOCAL_MACHINE, opened for reading; Get() is null when it could not be opened.
class ScopedKey {
public:
    ScopedKey(const wchar_t *path, REGSAM access) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, &m_hKey) != ERROR_SUCCESS) m_hKey = nullptr;
    }
    ~ScopedKey() {
        if (m_hKey) RegCloseKey(m_hKey);
    }
    ScopedKey(const ScopedKey &) = delete;
    ScopedKey &operator=(const ScopedKey &) = delete;
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};
