// Writes 中文 in code page 936 so that its first byte ends a 4095-byte read and the rest begins the
// next: the first write is exactly as long as the runner's largest read.
#include <windows.h>

#include <string>

int main() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::string first(4094, 'a');
    first += '\xD6';
    const std::string rest = "\xD0\xCE\xC4 end";
    DWORD written = 0;
    WriteFile(out, first.data(), static_cast<DWORD>(first.size()), &written, nullptr);
    WriteFile(out, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr);
    return 0;
}
