#include "sysops/setup_signature.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "sysops/library_search.h"
#include "platform/scoped_handle.h"

namespace {

const wchar_t kMicrosoftSigner[] = L"Microsoft Corporation";

// Extensions the interpreter tries for a bare program name; what PATHEXT lists is added to them.
const wchar_t kDefaultExtensions[] = L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";

struct LibraryFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

template <typename Fn>
Fn Entry(const Library &library, const char *name) {
    FARPROC entry = library ? GetProcAddress(library.get(), name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entry));
}

LONG LastErrorResult() { return HRESULT_FROM_WIN32(GetLastError()); }

// The trust functions come from the system folder at run time: imported at load time, they would
// be looked up beside the program first, in a folder where anyone may have left a library.
struct TrustFunctions {
    using VerifyFn = LONG(WINAPI *)(HWND, GUID *, LPVOID);
    using ProviderDataFn = CRYPT_PROVIDER_DATA *(WINAPI *)(HANDLE);
    using SignerFn = CRYPT_PROVIDER_SGNR *(WINAPI *)(CRYPT_PROVIDER_DATA *, DWORD, BOOL, DWORD);
    using NameFn = DWORD(WINAPI *)(PCCERT_CONTEXT, DWORD, DWORD, void *, LPWSTR, DWORD);

    Library wintrust{LoadSystemLibrary(L"wintrust.dll")};
    Library crypt32{LoadSystemLibrary(L"crypt32.dll")};
    VerifyFn verify = Entry<VerifyFn>(wintrust, "WinVerifyTrust");
    ProviderDataFn providerData = Entry<ProviderDataFn>(wintrust, "WTHelperProvDataFromStateData");
    SignerFn signer = Entry<SignerFn>(wintrust, "WTHelperGetProvSignerFromChain");
    NameFn name = Entry<NameFn>(crypt32, "CertGetNameStringW");

    bool Complete() const { return verify && providerData && signer && name; }
};

std::wstring SignerCommonName(const TrustFunctions &trust, HANDLE state) {
    CRYPT_PROVIDER_DATA *provider = state ? trust.providerData(state) : nullptr;
    CRYPT_PROVIDER_SGNR *signer = provider ? trust.signer(provider, 0, FALSE, 0) : nullptr;
    if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) return {};
    PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
    char *commonName = const_cast<char *>(szOID_COMMON_NAME);
    DWORD size = trust.name(certificate, CERT_NAME_ATTR_TYPE, 0, commonName, nullptr, 0);
    if (size <= 1) return {};
    std::wstring name(size, L'\0');
    size = trust.name(certificate, CERT_NAME_ATTR_TYPE, 0, commonName, name.data(), size);
    name.resize(size > 0 ? size - 1 : 0);
    return name;
}

bool IsFile(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::wstring> InterpreterExtensions() {
    std::wstring list = kDefaultExtensions;
    wchar_t configured[1024] = {};
    const DWORD length = GetEnvironmentVariableW(L"PATHEXT", configured, 1024);
    if (length > 0 && length < 1024) list += L";" + std::wstring(configured, length);
    std::vector<std::wstring> extensions;
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos) end = list.size();
        if (end > start) extensions.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return extensions;
}

}  // namespace

SetupSignature CheckSignedByMicrosoft(const std::wstring &path) {
    SetupSignature check;
    check.program = path;
    const TrustFunctions trust;
    if (!trust.Complete()) {
        check.result = LastErrorResult();
        return check;
    }
    // Nobody may change the file while it is checked.
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid()) {
        check.result = LastErrorResult();
        return check;
    }
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file.Get();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
    check.result = trust.verify(noUser, &action, &data);
    check.signer = SignerCommonName(trust, data.hWVTStateData);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    trust.verify(noUser, &action, &data);  // releases the state; its result says nothing more
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool plainFile = GetFileInformationByHandle(file.Get(), &facts) &&
                           (facts.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    check.mayRun = plainFile && check.result == 0 && check.signer == kMicrosoftSigner;
    if (check.mayRun) check.held = std::move(file);
    return check;
}

SetupSignature CheckSetupProgram(const std::wstring &driveRoot, bool is64BitWindows) {
    const std::wstring base = driveRoot + L"Office\\" + (is64BitWindows ? L"Setup64" : L"Setup32");
    const std::wstring expected = base + L".exe";
    for (const std::wstring &extension : InterpreterExtensions()) {
        if (CompareStringOrdinal(extension.c_str(), -1, L".EXE", -1, TRUE) == CSTR_EQUAL) continue;
        if (!IsFile(base + extension)) continue;
        SetupSignature other = CheckSignedByMicrosoft(base + extension);
        other.mayRun = false;
        return other;
    }
    return CheckSignedByMicrosoft(expected);
}
