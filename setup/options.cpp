#include "setup/options.h"

#include <windows.h>

#include "host/paths.h"
#include "host/system.h"
#include "log/logger.h"

namespace {

const int kMaxArguments = 256;
const size_t kNumberChars = 2048;

// A decimal integer as the C library reads it: white space, an optional sign, digits.
int ParseNumber(const wchar_t* value) {
    wchar_t text[kNumberChars];
    TextCopyCut(text, kNumberChars, value);
    return _wtoi(text);
}

// rest == name, case-insensitively.
bool IsSwitch(const wchar_t* rest, const wchar_t* name) {
    return lstrcmpiW(rest, name) == 0;
}

// rest == name followed directly by "="; the value is what follows.
const wchar_t* ValueOf(const wchar_t* rest, const wchar_t* name) {
    size_t length = wcslen(name);
    if (wcslen(rest) < length + 1 || rest[length] != L'=') {
        return nullptr;
    }
    if (CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, rest, static_cast<int>(length), name,
                       static_cast<int>(length)) != CSTR_EQUAL) {
        return nullptr;
    }
    return rest + length + 1;
}

// The argument list of one parse: zero-filled heap copies released together.
class ArgumentList {
  public:
    ~ArgumentList() {
        for (int i = 0; i < count_; ++i) {
            HeapFree(GetProcessHeap(), 0, items_[i]);
        }
        if (items_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, items_);
        }
    }
    bool Init() {
        items_ = static_cast<wchar_t**>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kMaxArguments * sizeof(wchar_t*)));
        return items_ != nullptr;
    }
    bool Add(const wchar_t* text, size_t length) {
        wchar_t* copy = static_cast<wchar_t*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (length + 1) * sizeof(wchar_t)));
        if (copy == nullptr) {
            return false;
        }
        CopyMemory(copy, text, length * sizeof(wchar_t));
        items_[count_++] = copy;
        return true;
    }
    int count() const { return count_; }
    bool full() const { return count_ >= kMaxArguments; }
    const wchar_t* operator[](int i) const { return items_[i]; }

  private:
    wchar_t** items_ = nullptr;
    int count_ = 0;
};

// Splits as the engine always has: blanks and tabs separate, double quotes group (a doubled
// quote inside a group is one literal quote and closes it), backslash-quote is a literal quote.
// Empty arguments are dropped. False when memory ran out.
bool SplitArguments(const wchar_t* text, ArgumentList* list) {
    if (!list->Init()) {
        return false;
    }
    size_t total = wcslen(text);
    wchar_t* current = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (total + 1) * sizeof(wchar_t)));
    if (current == nullptr) {
        return false;
    }
    bool ok = true;
    const wchar_t* p = text;
    while (ok && !list->full()) {
        while (*p == L' ' || *p == L'\t') {
            ++p;
        }
        if (*p == L'\0') {
            break;
        }
        size_t length = 0;
        bool quoted = false;
        for (;;) {
            wchar_t c = *p;
            if (c == L'\0') {
                break;
            }
            if ((c == L' ' || c == L'\t') && !quoted) {
                break;
            }
            if (c == L'"') {
                if (quoted && p[1] == L'"') {
                    current[length++] = L'"';
                    ++p;  // the second quote toggles below
                }
                quoted = !quoted;
                ++p;
                continue;
            }
            if (c == L'\\' && p[1] == L'"') {
                current[length++] = L'"';
                p += 2;
                continue;
            }
            current[length++] = c;
            ++p;
        }
        if (length > 0) {
            ok = list->Add(current, length);
        }
    }
    HeapFree(GetProcessHeap(), 0, current);
    return ok;
}

}  // namespace

SetupOptions& SetupOptions::Get() {
    static SetupOptions options;
    return options;
}

SetupOptions::SetupOptions() {
    Reset();
}

void SetupOptions::Reset() {
    role = RoleFromFileName(GetCurrentAppModuleName());
    displayLevel = -1;
    logLevel = -1;
    destinationGiven = 0;
    scan = 1;
    updateFromWeb = 1;
    updateFirewall = 1;
    productCheck = 1;
    uninstallInfo = 1;
    createProgramGroup = 1;
    TextClear(destination, kPathChars);
    TextClear(group, kPathChars);
}

int SetupOptions::RoleFromFileName(const wchar_t* fileName) {
    wchar_t name[kPathChars];
    if (!TextCopy(name, kPathChars, fileName)) {
        return kRoleInstall;
    }
    if (lstrcmpiW(name, L"ovuninst.exe") == 0) {
        return kRoleUninstall;
    }
    if (lstrcmpiW(name, L"trustadd.exe") == 0) {
        return kRoleTrustList;
    }
    name[5] = L'\0';  // the buffer holds kPathChars, so index 5 is always inside it
    if (lstrcmpiW(name, L"ovcu_") == 0) {
        return kRoleCleanup;
    }
    return kRoleInstall;
}

int SetupOptions::Parse(const char* commandLine) {
    WideText wide = MultiByteToWide(commandLine);
    return ParseWide(wide.c_str());
}

int SetupOptions::ParseWide(const wchar_t* commandLine) {
    ArgumentList arguments;
    // Without memory the command line counts as empty: the file name alone decides.
    if (commandLine != nullptr && SplitArguments(commandLine, &arguments)) {
        for (int i = 0; i < arguments.count(); ++i) {
            Apply(arguments[i]);
        }
    }
    if (displayLevel >= 0) {
        Logger::Get().SetDisplayLevel(displayLevel);
    }
    if (logLevel >= 0) {
        Logger::Get().SetLogLevel(logLevel);
    }
    return 0;
}

void SetupOptions::Apply(const wchar_t* argument) {
    if (argument[0] != L'-' && argument[0] != L'/' && argument[0] != L'\\') {
        return;
    }
    const wchar_t* rest = argument + 1;
    const wchar_t* value = nullptr;
    if (IsSwitch(rest, L"i") || IsSwitch(rest, L"Install")) {
        role = kRoleInstall;
    } else if (IsSwitch(rest, L"u") || IsSwitch(rest, L"Uninstall")) {
        role = kRoleUninstall;
    } else if (IsSwitch(rest, L"c") || IsSwitch(rest, L"Cleanup")) {
        role = kRoleCleanup;
    } else if (IsSwitch(rest, L"t") || IsSwitch(rest, L"TrustList")) {
        role = kRoleTrustList;
    } else if (IsSwitch(rest, L"Silent")) {
        displayLevel = 0;
    } else if ((value = ValueOf(rest, L"DisplayLevel")) != nullptr) {
        displayLevel = ParseNumber(value);
    } else if ((value = ValueOf(rest, L"LogLevel")) != nullptr) {
        logLevel = ParseNumber(value);
    } else if ((value = ValueOf(rest, L"Group")) != nullptr) {
        SetGroup(value);
    } else if ((value = ValueOf(rest, L"Path")) != nullptr ||
               (value = ValueOf(rest, L"ProductDest")) != nullptr) {
        SetDestination(value);
        destinationGiven = 1;
    } else if (IsSwitch(rest, L"NoScan")) {
        scan = 0;
    } else if (IsSwitch(rest, L"NoUpdateFromWeb")) {
        updateFromWeb = 0;
    } else if (IsSwitch(rest, L"NoUpdateFirewall")) {
        updateFirewall = 0;
    } else if (IsSwitch(rest, L"NoProductCheck") || IsSwitch(rest, L"IgnoreOtherAV")) {
        productCheck = 0;
    } else if (IsSwitch(rest, L"NoUninstallInfo")) {
        uninstallInfo = 0;
    } else if (IsSwitch(rest, L"NoProgramGroup")) {
        createProgramGroup = 0;
    }
}

bool SetupOptions::GetDestination(wchar_t* buffer, size_t chars) const {
    return TextCopy(buffer, chars, destination);
}

void SetupOptions::SetDestination(const wchar_t* text) {
    TextCopy(destination, kPathChars, text);
}

bool SetupOptions::GetGroup(wchar_t* buffer, size_t chars) const {
    return TextCopy(buffer, chars, group);
}

void SetupOptions::SetGroup(const wchar_t* text) {
    TextCopy(group, kPathChars, text);
}
