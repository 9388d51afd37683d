#include "log/logger.h"

#include <stdarg.h>

#include <new>

#include "host/handles.h"
#include "host/system.h"
#include "host/text.h"
#include "ui/resource_string.h"

namespace {

const size_t kBaseChars = 2048;  // the caller's text or the string of the id
const size_t kAffixChars = 256;  // "<word> E<code>: " and " - <word> = <value>"
const size_t kWordChars = 256;   // the words 25504..25506 before formatting
const size_t kLineChars = kAffixChars + kBaseChars + kAffixChars;
const size_t kDateTimeChars = 256;  // two 96-char parts and ", "
const size_t kFileLineChars = kDateTimeChars + 16 + kLineChars + 2;
const size_t kCaptionChars = 256;
const size_t kPartChars = 512;
const size_t kCombinedChars = kBaseChars;  // a report's box is cut like any base text

const int kLevelError = 1;
const int kLevelWarning = 2;
const int kLevelInformation = 3;
const int kLevelEverything = 4;

const char kRunSeparator[] = "\r\n+++ --- +++ --- +++\r\n\r\n";

// Keeps the thread's last error code across a logging operation.
class LastErrorKeeper {
  public:
    LastErrorKeeper() : error_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(error_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

  private:
    DWORD error_;
};

// Truncating append: as much of `text` as fits, always terminated.
void AppendCut(wchar_t* buffer, size_t chars, const wchar_t* text) {
    size_t have = TextLengthWithin(buffer, chars);
    if (have >= chars) {
        buffer[chars - 1] = L'\0';
        return;
    }
    TextCopyCut(buffer + have, chars - have, text);
}

// The text of a report part: the string is data from a resource library, not a format we can
// trust with printf (a stray "%d" would read a missing argument), so only "%s" (the argument)
// and "%%" are understood; any other percent sign stays as it is.
void FormatPart(wchar_t* buffer, size_t chars, const wchar_t* format, const wchar_t* argument) {
    size_t used = 0;
    const wchar_t* argumentText = argument != nullptr ? argument : L"";
    for (const wchar_t* p = format; *p != L'\0' && used + 1 < chars; ++p) {
        if (p[0] == L'%' && p[1] == L's') {
            for (const wchar_t* a = argumentText; *a != L'\0' && used + 1 < chars; ++a) {
                buffer[used++] = *a;
            }
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            buffer[used++] = L'%';
            ++p;
        } else {
            buffer[used++] = *p;
        }
    }
    buffer[used] = L'\0';
}

void BuildPartText(const ReportPart& part, wchar_t* buffer, size_t chars) {
    buffer[0] = L'\0';
    if (part.id == 0) {
        TextCopyCut(buffer, chars, part.argument);
        return;
    }
    wchar_t format[kPartChars] = {};
    LoadResourceString(nullptr, part.id, format, kPartChars);
    if (part.argument == nullptr) {
        TextCopyCut(buffer, chars, format);
    } else {
        FormatPart(buffer, chars, format, part.argument);
    }
}

enum LineKind { kLineError, kLineWarning, kLineMessage, kLineValue, kLineValueSigned, kLineValueText };

}  // namespace

struct Logger::Entry {
    LineKind kind;
    unsigned id;
    unsigned number;           // error or warning code, or the unsigned value
    int signedValue;           // kLineValueSigned
    const wchar_t* valueText;  // kLineValueText
    const wchar_t* text;       // null: the string of `id`
};

namespace {

int Threshold(LineKind kind) {
    switch (kind) {
        case kLineError:
            return kLevelError;
        case kLineWarning:
            return kLevelWarning;
        default:
            return kLevelInformation;
    }
}

// True when a report of this kind (error, warning, information) reaches the level.
bool ReportKindReaches(int kind, int level) {
    return kind >= kLogError && kind <= kLogInformation && level >= kind;
}

}  // namespace

Logger& Logger::Get() {
    // Built in zeroed storage on first use: a plain static would be stored whole, default path
    // and all, in the program's initialised data. Never destroyed (no exit-time destructors).
    alignas(Logger) static unsigned char storage[sizeof(Logger)];
    static Logger* logger = nullptr;
    if (logger == nullptr) {
        logger = new (storage) Logger;
    }
    return *logger;
}

void Logger::SetHooks(const LoggerHooks& hooks) {
    hooks_ = hooks;
}

int Logger::SetLogLevel(int level) {
    int previous = logLevel_;
    if (level >= 0 && level <= kLevelEverything) {
        logLevel_ = level;
    }
    return previous;
}

int Logger::SetDisplayLevel(int level) {
    int previous = displayLevel_;
    if (level >= 0 && level <= kLevelEverything) {
        displayLevel_ = level;
    }
    return previous;
}

void Logger::SetOwnerWindow(HWND window) {
    ownerWindow_ = window;
}

bool Logger::EnterBusy(bool force) {
    // A forced call runs inside an operation that already holds the flag; it neither takes nor
    // releases it, so a forced call from outside cannot leave the log blocked for good.
    return force || InterlockedCompareExchange(&busy_, 1, 0) == 0;
}

void Logger::LeaveBusy(bool force) {
    if (!force) {
        InterlockedExchange(&busy_, 0);
    }
}

void Logger::Open(const wchar_t* path, bool truncate, bool force) {
    LastErrorKeeper keep;
    // A path that does not fit whole keeps the previous one rather than an empty or cut path.
    wchar_t newPath[MAX_PATH];
    if (path != nullptr && path[0] != L'\0' && TextCopy(newPath, MAX_PATH, path)) {
        TextCopy(path_, MAX_PATH, newPath);
    }
    if (!force && logLevel_ < kLevelInformation) {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    if (truncate) {
        ScopedHandle file(CreateFileW(path_, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    Message(kMsgLogHeader, nullptr, true);
    WriteLine(GetCommandLineW(), 0, true);
    LeaveBusy(force);
}

void Logger::Close(int result, bool force) {
    LastErrorKeeper keep;
    if (!force && logLevel_ < kLevelInformation) {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    ValueSigned(kMsgLogClosing, result, nullptr, true);
    WriteRaw(kRunSeparator, sizeof(kRunSeparator) - 1, true);
    LeaveBusy(force);
}

void Logger::Error(unsigned id, unsigned code, const wchar_t* text, bool force) {
    Entry entry = {kLineError, id, code, 0, nullptr, text};
    Emit(entry, force, logLevel_, displayLevel_);
}

void Logger::Warning(unsigned id, unsigned code, const wchar_t* text, bool force) {
    Entry entry = {kLineWarning, id, code, 0, nullptr, text};
    Emit(entry, force, logLevel_, displayLevel_);
}

void Logger::Message(unsigned id, const wchar_t* text, bool force) {
    Entry entry = {kLineMessage, id, 0, 0, nullptr, text};
    Emit(entry, force, logLevel_, displayLevel_);
}

void Logger::Value(unsigned id, unsigned value, const wchar_t* text, bool force) {
    Entry entry = {kLineValue, id, value, 0, nullptr, text};
    Emit(entry, force, logLevel_, displayLevel_);
}

void Logger::ValueSigned(unsigned id, int value, const wchar_t* text, bool force) {
    Entry entry = {kLineValueSigned, id, 0, value, nullptr, text};
    Emit(entry, force, logLevel_, displayLevel_);
}

void Logger::ValueText(unsigned id, const wchar_t* value, const wchar_t* text, bool force) {
    Entry entry = {kLineValueText, id, 0, 0, value, text};
    Emit(entry, force, logLevel_, displayLevel_);
}

void Logger::Emit(const Entry& entry, bool force, int fileLevel, int screenLevel) {
    int threshold = Threshold(entry.kind);
    if (!force && fileLevel < threshold && screenLevel < threshold) {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    LastErrorKeeper keep;
    wchar_t line[kLineChars];
    BuildLineText(entry, line, kLineChars);
    if (line[0] != L'\0') {
        if (fileLevel >= threshold) {
            WriteLine(line, entry.id, true);
        }
        // The header and the closing line belong to the file only.
        if (screenLevel >= threshold && entry.id != kMsgLogHeader && entry.id != kMsgLogClosing) {
            ShowMessage(line, true);
        }
    }
    LeaveBusy(force);
}

void Logger::BuildLineText(const Entry& entry, wchar_t* line, size_t chars) {
    line[0] = L'\0';
    wchar_t base[kBaseChars];
    if (entry.text != nullptr) {
        TextCopyCut(base, kBaseChars, entry.text);
    } else {
        LoadResourceString(nullptr, entry.id, base, kBaseChars);
    }

    wchar_t word[kWordChars] = {};
    wchar_t affix[kAffixChars] = {};
    if ((entry.kind == kLineError || entry.kind == kLineWarning) && entry.number != 0) {
        bool error = entry.kind == kLineError;
        LoadResourceString(nullptr, error ? kMsgErrorWord : kMsgWarningWord, word, kWordChars);
        TextFormatCut(affix, kAffixChars, error ? L"%s E%u: " : L"%s W%u: ", word, entry.number);
        AppendCut(line, chars, affix);
    }
    AppendCut(line, chars, base);

    if (entry.kind == kLineValue || entry.kind == kLineValueSigned || entry.kind == kLineValueText) {
        LoadResourceString(nullptr, kMsgValueWord, word, kWordChars);
        if (entry.kind == kLineValue) {
            TextFormatCut(affix, kAffixChars, L" - %s = %u", word, entry.number);
        } else if (entry.kind == kLineValueSigned) {
            TextFormatCut(affix, kAffixChars, L" - %s = %d", word, entry.signedValue);
        } else {
            TextFormatCut(affix, kAffixChars, L" - %s = %s", word,
                          entry.valueText != nullptr ? entry.valueText : L"");
        }
        AppendCut(line, chars, affix);
    }
}

void Logger::Dispatch(int kind, unsigned id, unsigned code, const wchar_t* text, int fileLevel,
                      int screenLevel) {
    Entry entry = {kLineMessage, id, code, 0, nullptr, text};
    switch (kind) {
        case kLogError:
            entry.kind = kLineError;
            break;
        case kLogWarning:
            entry.kind = kLineWarning;
            break;
        case kLogInformation:
            entry.kind = code != 0 ? kLineValue : kLineMessage;
            break;
        default:
            return;
    }
    Emit(entry, false, fileLevel, screenLevel);
}

void Logger::Report(int logKind, int showKind, unsigned code, int count, const ReportPart* parts) {
    LastErrorKeeper keep;
    // Read once: the parts are written at the file level only, the combined text shown at the
    // screen level only. The fields themselves stay untouched, so another thread's call made
    // meanwhile is judged by the real levels.
    int fileLevel = logLevel_;
    int screenLevel = displayLevel_;
    if (!ReportKindReaches(logKind, fileLevel) && !ReportKindReaches(showKind, screenLevel)) {
        return;  // neither written nor shown: spare the string lookups
    }
    wchar_t combined[kCombinedChars] = {};
    for (int i = 0; parts != nullptr && i < count; ++i) {
        wchar_t part[kPartChars];
        BuildPartText(parts[i], part, kPartChars);
        Dispatch(logKind, parts[i].id, code, part, fileLevel, 0);
        AppendCut(combined, kCombinedChars, part);
        for (int b = 0; b < parts[i].lineBreaks; ++b) {
            AppendCut(combined, kCombinedChars, L"\r\n");
        }
    }
    Dispatch(showKind, 0, code, combined, 0, screenLevel);
}

void Logger::ShowMessage(const wchar_t* text, bool force) {
    if (!force && displayLevel_ < kLevelEverything) {
        return;
    }
    if (text == nullptr || text[0] == L'\0') {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    LastErrorKeeper keep;
    wchar_t caption[kCaptionChars] = {};
    if (hooks_.productCaption == nullptr || !hooks_.productCaption(caption, kCaptionChars) ||
        caption[0] == L'\0') {
        LoadResourceString(nullptr, kMsgCaption, caption, kCaptionChars);
    }
    caption[kCaptionChars - 1] = L'\0';

    HWND owner = ownerWindow_;
    if (owner != nullptr) {
        SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    bool shown = false;
    if (hooks_.frameworkShowMessage != nullptr) {
        int button = hooks_.frameworkShowMessage(owner, text, caption, MB_OK);
        shown = button == 1 || button == 2;
    }
    if (!shown) {
        MessageBoxW(owner, text, caption, MB_OK);
    }
    if (owner != nullptr) {
        SetWindowPos(owner, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    LeaveBusy(force);
}

void Logger::WriteLine(const wchar_t* text, unsigned id, bool force) {
    if (!force && logLevel_ < kLevelEverything) {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    LastErrorKeeper keep;
    wchar_t dateTime[kDateTimeChars] = {};
    GetLocalDateTimeString(dateTime, kDateTimeChars);
    dateTime[kDateTimeChars - 1] = L'\0';
    wchar_t line[kFileLineChars];
    TextFormatCut(line, kFileLineChars, L"%s (%05u) ", dateTime, id);
    // Leave room for the line end so that a cut line still ends the line.
    AppendCut(line, kFileLineChars - 2, text);
    AppendCut(line, kFileLineChars, L"\r\n");
    AppendWide(line, TextLength(line));
    LeaveBusy(force);
}

void Logger::WriteText(const wchar_t* text, bool force) {
    if (!force && logLevel_ < kLevelEverything) {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    AppendWide(text, TextLength(text));
    LeaveBusy(force);
}

void Logger::AppendWide(const wchar_t* text, size_t length) {
    if (length == 0 || length > 0x7FFFFFFF) {
        return;
    }
    LastErrorKeeper keep;
    int wide = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return;
    }
    char* ansi = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(bytes)));
    if (ansi == nullptr) {
        return;
    }
    int converted = WideCharToMultiByte(CP_ACP, 0, text, wide, ansi, bytes, nullptr, nullptr);
    if (converted > 0) {
        WriteRaw(ansi, static_cast<DWORD>(converted), true);
    }
    HeapFree(GetProcessHeap(), 0, ansi);
}

void Logger::WriteRaw(const void* bytes, DWORD count, bool force) {
    if (!force && logLevel_ < kLevelEverything) {
        return;
    }
    if (bytes == nullptr || count == 0) {
        return;
    }
    if (!EnterBusy(force)) {
        return;
    }
    LastErrorKeeper keep;
    // Threads that got past the busy test (forced calls) still append one at a time, because
    // the file is opened sharing reads only.
    while (InterlockedCompareExchange(&fileLock_, 1, 0) != 0) {
        Sleep(0);
    }
    ScopedHandle file(CreateFileW(path_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid() && SetFilePointer(file.Get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER) {
        const BYTE* next = static_cast<const BYTE*>(bytes);
        DWORD left = count;
        while (left > 0) {
            DWORD written = 0;
            if (!WriteFile(file.Get(), next, left, &written, nullptr) || written == 0) {
                break;
            }
            next += written;
            left -= written;
        }
    }
    file.Close();
    InterlockedExchange(&fileLock_, 0);
    LeaveBusy(force);
}

void LogInfoReport(unsigned id, unsigned code, const wchar_t* argument) {
    ReportPart part = {id, argument, 0};
    Logger::Get().Report(kLogInformation, kLogInformation, code, 1, &part);
}

void LogInfoReportF(unsigned id, unsigned code, const wchar_t* format, ...) {
    wchar_t argument[kMessageChars];
    va_list args;
    va_start(args, format);
    TextFormatCutV(argument, kMessageChars, format, args);
    va_end(args);
    LogInfoReport(id, code, argument);
}
