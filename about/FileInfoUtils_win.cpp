#include "about/FileInfoUtils.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "about/version_text.h"
#include "foundation/system_library_win.h"
#include "foundation/win_text.h"

namespace corvandel {

namespace {

struct VersionResource {
    std::vector<unsigned char> data;
    std::string translation;
};

std::optional<VersionResource> LoadVersionResource(const std::string& fileName) {
    const std::wstring wide = Widen(fileName);
    DWORD handle = 0;
    const DWORD size =
        CORVANDEL_SYSTEM_CALL(L"version.dll", GetFileVersionInfoSizeW)(wide.c_str(), &handle);
    if (size == 0)
        return std::nullopt;
    VersionResource resource;
    resource.data.resize(size);
    if (!CORVANDEL_SYSTEM_CALL(L"version.dll", GetFileVersionInfoW)(wide.c_str(), 0, size,
                                                                    resource.data.data()))
        return std::nullopt;
    void* table = nullptr;
    UINT length = 0;
    if (CORVANDEL_SYSTEM_CALL(L"version.dll", VerQueryValueW)(
            resource.data.data(), L"\\VarFileInfo\\Translation", &table, &length)) {
        resource.translation = TranslationKey(static_cast<unsigned char*>(table), length);
    } else {
        resource.translation = TranslationKey(nullptr, 0);
    }
    return resource;
}

// The string's characters as VerQueryValueW gives them (length includes the terminator).
std::optional<std::wstring> QueryString(VersionResource& resource, const std::string& name) {
    const std::wstring path = Widen("\\StringFileInfo\\" + resource.translation + "\\" + name);
    void* text = nullptr;
    UINT length = 0;
    if (!CORVANDEL_SYSTEM_CALL(L"version.dll", VerQueryValueW)(resource.data.data(), path.c_str(),
                                                               &text, &length) ||
        length == 0 || text == nullptr) {
        return std::nullopt;
    }
    return std::wstring(static_cast<const wchar_t*>(text), length);
}

}  // namespace

std::string GetVersionInfoValue(const std::string& fileName, const std::string& name) {
    auto resource = LoadVersionResource(fileName);
    if (!resource)
        return std::string();
    const auto text = QueryString(*resource, name);
    if (!text)
        return std::string();
    return Narrow(std::wstring_view(text->c_str()));  // up to the terminating zero
}

std::string GetLegalCopyright(const std::string& fileName) {
    return GetVersionInfoValue(fileName, "LegalCopyright");
}

std::string GetCompanyName(const std::string& fileName) {
    return GetVersionInfoValue(fileName, "CompanyName");
}

std::string GetFileVersion(const std::string& fileName) {
    auto resource = LoadVersionResource(fileName);
    if (!resource)
        return std::string();
    if (const auto text = QueryString(*resource, "FileVersion")) {
        const std::string scanned =
            ScanFileVersionString(std::u16string(text->begin(), text->end()));
        if (!scanned.empty())
            return scanned;
    }
    void* fixed = nullptr;
    UINT length = 0;
    if (CORVANDEL_SYSTEM_CALL(L"version.dll", VerQueryValueW)(resource->data.data(), L"\\", &fixed,
                                                              &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
        return FormatFixedVersion(info->dwFileVersionMS, info->dwFileVersionLS);
    }
    return std::string();
}

}  // namespace corvandel
