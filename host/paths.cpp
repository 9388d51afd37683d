#include "host/paths.h"

#include <stdarg.h>
#include <string.h>
#include <windows.h>

#include "host/system.h"
#include "log/logger.h"

namespace {

const unsigned kMsgAbsentOutput = 25520;
const unsigned kMsgAppendPathFailed = 25521;
const unsigned kMsgCommandLineFailed = 25523;

const wchar_t* OrNullWord(const wchar_t* text) {
    return text != nullptr ? text : L"<NULL>";
}

// CharNextW that always moves on while there is text, so no loop can stall on it.
const wchar_t* StepNext(const wchar_t* p) {
    if (*p == L'\0') {
        return p;
    }
    const wchar_t* next = CharNextW(p);
    return next > p ? next : p + 1;
}

// CharPrevW bounded to [start, p), moving back at least one char when p is past start.
const wchar_t* StepPrev(const wchar_t* start, const wchar_t* p) {
    if (p <= start) {
        return start;
    }
    const wchar_t* prev = CharPrevW(start, p);
    return (prev >= start && prev < p) ? prev : p - 1;
}

// The system steps over a base character and its combining marks at once; such a cluster is
// not a plain `ch`, so it ends a run of `ch`.
bool IsPlainChar(const wchar_t* p, const wchar_t* stepEnd, wchar_t ch) {
    return *p == ch && stepEnd == p + 1;
}

bool IsSpaceChar(wchar_t ch) {
    WORD type = 0;
    if (!GetStringTypeExW(LOCALE_SYSTEM_DEFAULT, CT_CTYPE1, &ch, 1, &type)) {
        return false;
    }
    return (type & C1_SPACE) != 0;
}

bool IsDigitChar(wchar_t ch) {
    return ch >= L'0' && ch <= L'9';
}

// True when [inner, inner + 1) lies inside the buffer [buffer, buffer + chars).
bool PointsInto(const wchar_t* inner, const wchar_t* buffer, size_t chars) {
    if (inner == nullptr) {
        return false;
    }
    DWORD_PTR at = reinterpret_cast<DWORD_PTR>(inner);
    DWORD_PTR begin = reinterpret_cast<DWORD_PTR>(buffer);
    return at >= begin && at < begin + chars * sizeof(wchar_t);
}

// Moves the text starting at `from` (inside `text`) to the front of `text`.
void MoveToFront(wchar_t* text, const wchar_t* from) {
    if (from == text) {
        return;
    }
    size_t length = wcslen(from);
    MoveMemory(text, from, (length + 1) * sizeof(wchar_t));
}

// Compares two runs of decimal digits by value without overflow: leading zeros do not count,
// a longer run is larger, equal lengths compare digit by digit.
int CompareDigitRuns(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    while (aLength > 0 && *a == L'0') {
        ++a;
        --aLength;
    }
    while (bLength > 0 && *b == L'0') {
        ++b;
        --bLength;
    }
    if (aLength != bLength) {
        return aLength < bLength ? -1 : 1;
    }
    for (size_t i = 0; i < aLength; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

const wchar_t* SkipNonDigits(const wchar_t* p) {
    while (*p != L'\0' && !IsDigitChar(*p)) {
        p = StepNext(p);
    }
    return p;
}

size_t DigitRunLength(const wchar_t* p) {
    size_t length = 0;
    while (IsDigitChar(p[length])) {
        ++length;
    }
    return length;
}

}  // namespace

bool AppendPath(wchar_t* output, size_t chars, const wchar_t* directory, const wchar_t* subPath) {
    if (output == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"AppendPath");
        return false;
    }
    // Assembled aside, so the output may be one of the inputs and a failure can leave it as it was.
    wchar_t work[kPathChars] = {};
    bool ok = true;
    if (directory != nullptr) {
        ok = TextCopy(work, kPathChars, directory);
    }
    if (ok && subPath != nullptr) {
        if (directory != nullptr) {
            ok = EnsureTrailingChar(work, kPathChars, L'\\');
        }
        const wchar_t* rest = subPath;
        for (;;) {
            const wchar_t* next = StepNext(rest);
            if (!IsPlainChar(rest, next, L'\\')) {
                break;
            }
            rest = next;
        }
        ok = ok && TextAppend(work, kPathChars, rest);
    }
    if (ok && TextLength(work) < chars) {
        TextCopy(output, chars, work);
        return true;
    }

    LogInfoReportF(kMsgAppendPathFailed, 0, L"Directory = %s, Sub Path = %s, Size = %u",
                   OrNullWord(directory), OrNullWord(subPath), static_cast<unsigned>(chars));
    if (!PointsInto(directory, output, chars) && !PointsInto(subPath, output, chars)) {
        TextClear(output, chars);
    }
    return false;
}

bool BuildCommandLine(wchar_t* output, size_t chars, const wchar_t* directory, const wchar_t* module,
                      const wchar_t* format, ...) {
    if (output == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"BuildCommandLine");
        return false;
    }
    // Everything is built in work buffers and the output is written last, so inputs that lie in
    // the output are still intact when they are read.
    wchar_t path[kPathChars] = {};
    wchar_t line[kCommandLineChars] = {};
    wchar_t switches[kPathChars] = {};
    bool ok = directory != nullptr && module != nullptr && (format == nullptr || format[0] != L'\0');
    ok = ok && AppendPath(path, kPathChars, directory, module);
    ok = ok && TextFormat(line, kCommandLineChars, L"\"%s\"", path);
    if (ok) {
        va_list args;
        va_start(args, format);
        if (format != nullptr) {
            ok = TextFormatV(switches, kPathChars, format, args);
        } else {
            ok = TextCopy(switches, kPathChars, va_arg(args, const wchar_t*));
        }
        va_end(args);
    }
    if (ok && switches[0] != L'\0') {
        ok = TextAppend(line, kCommandLineChars, L" ") && TextAppend(line, kCommandLineChars, switches);
    }
    if (ok && TextLength(line) < chars) {
        TextCopy(output, chars, line);
        return true;
    }

    LogInfoReportF(kMsgCommandLineFailed, 0,
                   L"Directory = %s, Module = %s, Format = %s, Switches = %s, Size = %u",
                   OrNullWord(directory), OrNullWord(module), OrNullWord(format), switches,
                   static_cast<unsigned>(chars));
    TextClear(output, chars);
    return false;
}

bool GetAppFilePath(wchar_t* output, size_t chars, const wchar_t* fileName, const wchar_t* subDirectory) {
    if (output == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"GetAppFilePath");
        return false;
    }
    // An unknown program directory (already logged where it is found) would otherwise turn into a
    // path below the root of the current drive.
    const wchar_t* appDir = GetCurrentAppDir();
    wchar_t folder[kPathChars] = {};
    if (appDir != nullptr && appDir[0] != L'\0' && AppendPath(folder, kPathChars, appDir, subDirectory) &&
        AppendPath(output, chars, folder, fileName)) {
        return true;
    }
    TextClear(output, chars);
    return false;
}

bool EnsureTrailingChar(wchar_t* buffer, size_t chars, wchar_t ch) {
    if (buffer == nullptr || chars == 0) {
        return false;
    }
    wchar_t suffix[4] = {};
    if (!TextFormat(suffix, 4, L"%c", ch)) {
        return false;
    }
    size_t length = TextLengthWithin(buffer, chars);
    if (length < chars && (suffix[0] == L'\0' || (length > 0 && buffer[length - 1] == ch))) {
        return true;
    }
    return TextAppend(buffer, chars, suffix);
}

void StripLastPathComponent(wchar_t* path) {
    wchar_t* cut = FindLastChar(L'\\', path);
    if (cut == nullptr) {
        return;
    }
    while (cut > path) {
        const wchar_t* prev = StepPrev(path, cut);
        if (!IsPlainChar(prev, cut, L'\\')) {
            break;
        }
        cut = path + (prev - path);
    }
    *cut = L'\0';
}

void TrimLeadingSpaces(wchar_t* text) {
    if (text == nullptr) {
        return;
    }
    const wchar_t* p = text;
    for (;;) {
        const wchar_t* next = StepNext(p);
        if (next != p + 1 || !IsSpaceChar(*p)) {
            break;
        }
        p = next;
    }
    MoveToFront(text, p);
}

void TrimTrailingSpaces(wchar_t* text) {
    if (text == nullptr) {
        return;
    }
    const wchar_t* end = text + wcslen(text);
    while (end > text) {
        const wchar_t* prev = StepPrev(text, end);
        if (prev + 1 != end || !IsSpaceChar(*prev)) {
            break;
        }
        end = prev;
    }
    text[end - text] = L'\0';
}

void TrimLeadingChar(wchar_t* text, wchar_t ch) {
    if (text == nullptr || ch == L'\0') {
        return;
    }
    const wchar_t* p = text;
    for (;;) {
        const wchar_t* next = StepNext(p);
        if (!IsPlainChar(p, next, ch)) {
            break;
        }
        p = next;
    }
    MoveToFront(text, p);
}

void TrimTrailingChar(wchar_t* text, wchar_t ch) {
    if (text == nullptr || ch == L'\0') {
        return;
    }
    const wchar_t* end = text + wcslen(text);
    while (end > text) {
        const wchar_t* prev = StepPrev(text, end);
        if (!IsPlainChar(prev, end, ch)) {
            break;
        }
        end = prev;
    }
    text[end - text] = L'\0';
}

void RemoveTrailingChar(wchar_t* text, wchar_t ch) {
    if (text == nullptr || ch == L'\0') {
        return;
    }
    size_t length = wcslen(text);
    if (length > 0 && text[length - 1] == ch) {
        text[length - 1] = L'\0';
    }
}

wchar_t* FindFirstChar(wchar_t ch, const wchar_t* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const wchar_t* p = text;
    while (*p != L'\0') {
        const wchar_t* next = StepNext(p);
        // A step may cover a base character and its marks; the search looks at each of them.
        for (const wchar_t* q = p; q < next; ++q) {
            if (*q == ch) {
                return const_cast<wchar_t*>(q);
            }
        }
        p = next;
    }
    return ch == L'\0' ? const_cast<wchar_t*>(p) : nullptr;
}

wchar_t* FindLastChar(wchar_t ch, const wchar_t* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const wchar_t* end = text + wcslen(text);
    if (ch == L'\0') {
        return const_cast<wchar_t*>(end);
    }
    while (end > text) {
        const wchar_t* prev = StepPrev(text, end);
        for (const wchar_t* q = end; q > prev;) {
            --q;
            if (*q == ch) {
                return const_cast<wchar_t*>(q);
            }
        }
        end = prev;
    }
    return nullptr;
}

unsigned long ParseDecimal(const wchar_t* text) {
    unsigned long value = 0;
    if (text == nullptr) {
        return 0;
    }
    for (const wchar_t* p = text; IsDigitChar(*p); ++p) {
        value = value * 10 + static_cast<unsigned long>(*p - L'0');
    }
    return value;
}

int CompareVersionStrings(const wchar_t* a, const wchar_t* b) {
    const wchar_t* pa = SkipNonDigits(a != nullptr ? a : L"");
    const wchar_t* pb = SkipNonDigits(b != nullptr ? b : L"");
    if (*pa == L'\0' && *pb == L'\0') {
        return 0;
    }
    // Components are compared as digit runs rather than parsed numbers, so long build numbers
    // cannot wrap around and compare equal to small ones.
    for (int component = 1;; ++component) {
        size_t aLength = DigitRunLength(pa);
        size_t bLength = DigitRunLength(pb);
        int order = CompareDigitRuns(pa, aLength, pb, bLength);
        pa = SkipNonDigits(pa + aLength);
        pb = SkipNonDigits(pb + bLength);
        if (order != 0) {
            return order < 0 ? -component : component;
        }
        if (*pa == L'\0' && *pb == L'\0') {
            return 0;
        }
    }
}

bool FindFreeNumberedName(wchar_t* output, size_t chars, const wchar_t* directory, const wchar_t* format,
                          int first, int last) {
    if (output == nullptr || chars == 0) {
        LogInfoReport(kMsgAbsentOutput, 0, L"FindFreeNumberedName");
        return false;
    }
    TextClear(output, chars);
    if (format == nullptr || first > last) {
        return false;
    }
    for (int number = first;; ++number) {
        wchar_t path[kPathChars] = {};
        if (!TextFormat(output, chars, format, number) || !AppendPath(path, kPathChars, directory, output)) {
            TextClear(output, chars);
            return false;
        }
        // Only a name that is known to be absent is free; an entry that cannot be examined
        // (denied, in use) counts as taken.
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                return true;
            }
        }
        if (number == last) {
            return true;
        }
    }
}

AnsiText::~AnsiText() {
    Adopt(nullptr);
}

AnsiText::AnsiText(AnsiText&& other) : text_(other.text_) {
    other.text_ = nullptr;
}

AnsiText& AnsiText::operator=(AnsiText&& other) {
    if (this != &other) {
        Adopt(other.text_);
        other.text_ = nullptr;
    }
    return *this;
}

size_t AnsiText::size() const {
    return text_ != nullptr ? strlen(text_) : 0;
}

void AnsiText::Adopt(char* heapText) {
    if (text_ != nullptr && text_ != heapText) {
        HeapFree(GetProcessHeap(), 0, text_);
    }
    text_ = heapText;
}

WideText::~WideText() {
    Adopt(nullptr);
}

WideText::WideText(WideText&& other) : text_(other.text_) {
    other.text_ = nullptr;
}

WideText& WideText::operator=(WideText&& other) {
    if (this != &other) {
        Adopt(other.text_);
        other.text_ = nullptr;
    }
    return *this;
}

size_t WideText::size() const {
    return text_ != nullptr ? wcslen(text_) : 0;
}

void WideText::Adopt(wchar_t* heapText) {
    if (text_ != nullptr && text_ != heapText) {
        HeapFree(GetProcessHeap(), 0, text_);
    }
    text_ = heapText;
}

AnsiText WideToMultiByte(const wchar_t* text) {
    AnsiText result;
    if (text == nullptr || text[0] == L'\0') {
        return result;
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return result;
    }
    char* buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(bytes)));
    if (buffer == nullptr) {
        return result;
    }
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, bytes, nullptr, nullptr) <= 0) {
        HeapFree(GetProcessHeap(), 0, buffer);
        return result;
    }
    buffer[bytes - 1] = '\0';
    result.Adopt(buffer);
    return result;
}

WideText MultiByteToWide(const char* text) {
    WideText result;
    if (text == nullptr || text[0] == '\0') {
        return result;
    }
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 0) {
        return result;
    }
    wchar_t* buffer =
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(count) * sizeof(wchar_t)));
    if (buffer == nullptr) {
        return result;
    }
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, count) <= 0) {
        HeapFree(GetProcessHeap(), 0, buffer);
        return result;
    }
    buffer[count - 1] = L'\0';
    result.Adopt(buffer);
    return result;
}
