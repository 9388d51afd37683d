#include "host/version_info.h"

#include <string.h>
#include <wchar.h>

#include "host/system.h"
#include "host/text.h"
#include "log/logger.h"

namespace {

const unsigned kMsgAbsentOutput = 25520;
const unsigned kMsgFileTooOld = 25008;

const size_t kQueryPathChars = 128;
const size_t kVersionReportChars = 292;
const size_t kInstallerVersionChars = 256;

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed version record is 52 bytes");

InstallerVersionHooks g_installerVersionHooks = {nullptr, nullptr};

// The version information block of a file, on the process heap.
class VersionBlock {
  public:
    explicit VersionBlock(const wchar_t* path) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(path, &ignored);
        if (size == 0) {
            return;
        }
        data_ = HeapAlloc(GetProcessHeap(), 0, size);
        if (data_ != nullptr && !GetFileVersionInfoW(path, 0, size, data_)) {
            HeapFree(GetProcessHeap(), 0, data_);
            data_ = nullptr;
        }
    }
    ~VersionBlock() {
        if (data_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, data_);
        }
    }
    VersionBlock(const VersionBlock&) = delete;
    VersionBlock& operator=(const VersionBlock&) = delete;

    bool IsValid() const { return data_ != nullptr; }
    // The item at `query` and its length (bytes for binary items, chars for strings); null if absent.
    const void* Query(const wchar_t* query, UINT* length) const {
        void* item = nullptr;
        *length = 0;
        if (!VerQueryValueW(data_, query, &item, length)) {
            return nullptr;
        }
        return item;
    }

  private:
    void* data_ = nullptr;
};

// Copies the string named `name` of the block's first translation into `text` (exact).
void CopyFirstTranslationString(const VersionBlock& block, const wchar_t* name, wchar_t* text, size_t chars) {
    UINT length = 0;
    const WORD* translation = static_cast<const WORD*>(block.Query(L"\\VarFileInfo\\Translation", &length));
    if (translation == nullptr || length < 2 * sizeof(WORD)) {
        return;
    }
    wchar_t query[kQueryPathChars];
    if (!TextFormat(query, kQueryPathChars, L"\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1],
                    name)) {
        return;
    }
    const wchar_t* value = static_cast<const wchar_t*>(block.Query(query, &length));
    if (value == nullptr) {
        return;
    }
    // The reported length is not trusted to stop at the terminator, nor the terminator to be there.
    size_t valueChars = TextLengthWithin(value, length);
    if (valueChars < chars) {
        memcpy(text, value, valueChars * sizeof(wchar_t));
        text[valueChars] = L'\0';
    }
}

}  // namespace

void GetVersionInfoData(const wchar_t* path, const wchar_t* name, wchar_t* text, size_t chars,
                        VS_FIXEDFILEINFO* record) {
    bool textWanted = text != nullptr && chars > 0;
    if (!textWanted && record == nullptr) {
        LogInfoReport(kMsgAbsentOutput, 0, L"GetVersionInfoData");
        return;
    }
    TextClear(text, chars);
    if (record != nullptr) {
        ZeroMemory(record, sizeof(*record));
    }
    if (path == nullptr || path[0] == L'\0') {
        return;
    }
    VersionBlock block(path);
    if (!block.IsValid()) {
        return;
    }
    if (record != nullptr) {
        UINT length = 0;
        const void* fixed = block.Query(L"\\", &length);
        if (fixed != nullptr && length >= sizeof(*record)) {
            memcpy(record, fixed, sizeof(*record));
        }
    }
    if (textWanted && name != nullptr) {
        CopyFirstTranslationString(block, name, text, chars);
    }
}

int CheckFileVersion(const wchar_t* path, unsigned major, unsigned minor) {
    VS_FIXEDFILEINFO record;
    GetVersionInfoData(path, nullptr, nullptr, 0, &record);
    unsigned fileMajor = HIWORD(record.dwFileVersionMS);
    unsigned fileMinor = LOWORD(record.dwFileVersionMS);
    if (fileMajor > major || (fileMajor == major && fileMinor >= minor)) {
        return 0;
    }
    wchar_t details[kVersionReportChars];
    TextFormatCut(details, kVersionReportChars, L"%s %u.%02u", path != nullptr ? path : L"<NULL>", fileMajor,
                  fileMinor);
    LogInfoReport(kMsgFileTooOld, kMsgFileTooOld, details);
    return kMsgFileTooOld;
}

bool GetMainInstallerVersion(wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"GetMainInstallerVersion");
        return false;
    }
    TextClear(buffer, chars);
    const InstallerVersionHooks& hooks = g_installerVersionHooks;
    if (hooks.isInstallRole == nullptr || !hooks.isInstallRole()) {
        return false;
    }
    wchar_t version[kInstallerVersionChars];
    GetVersionInfoData(GetCurrentAppPath(), L"FileVersion", version, kInstallerVersionChars, nullptr);
    if (version[0] == L'\0' && hooks.installedSuiteVersion != nullptr &&
        !hooks.installedSuiteVersion(version, kInstallerVersionChars)) {
        version[0] = L'\0';
    }
    version[kInstallerVersionChars - 1] = L'\0';
    if (version[0] == L'\0') {
        return false;
    }
    return TextCopy(buffer, chars, version);
}

void SetInstallerVersionHooks(const InstallerVersionHooks& hooks) {
    g_installerVersionHooks = hooks;
}
