#pragma once
// Owns one kernel handle and closes it once. Move-only.
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
