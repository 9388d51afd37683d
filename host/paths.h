// Paths, command lines and small text operations. All are free functions without
// state. Output buffers come with their size in chars; a failed call leaves the
// output empty (all zero), except AppendPath called in place, which leaves it as it was.
// Results are true on success.
#pragma once
#include <stddef.h>
#include <wchar.h>

#include "host/text.h"

// Joins `directory` and `subPath` with exactly one backslash (leading backslashes of the sub path
// are dropped; the sub path is appended even when absolute). Either may be null: no directory gives
// the sub path alone, neither gives "". The result must fit 260 chars and the output. On failure
// logs 25521 ("Directory = %s, Sub Path = %s, Size = %u"); absent output or 0 size logs 25520.
// The output may be the same buffer as either input.
bool AppendPath(wchar_t* output, size_t chars, const wchar_t* directory, const wchar_t* subPath);

// "\"<directory\module>\"" followed, when there are switches, by one blank and the switches.
// With `format` the switches are formatted from the following arguments (exact, 260 chars);
// without it, the first variadic argument is a literal switches text (const wchar_t*, may be null)
// and must be passed. An empty (not null) format fails. The line must fit 520 chars and the output.
// Failure logs 25520 or 25523 and leaves the output empty. Inputs may lie in the output buffer.
bool BuildCommandLine(wchar_t* output, size_t chars, const wchar_t* directory, const wchar_t* module,
                      const wchar_t* format, ...);

// The program directory joined with `subDirectory` (may be null) and then `fileName`. Fails, with
// the output empty, when the program directory is unknown or the path does not fit.
bool GetAppFilePath(wchar_t* output, size_t chars, const wchar_t* fileName, const wchar_t* subDirectory);

// Appends `ch` unless the text already ends with it. True when the text ends with it afterwards;
// an append that does not fit leaves the buffer empty (exact rule).
bool EnsureTrailingChar(wchar_t* buffer, size_t chars, wchar_t ch);

// Cuts the path at its last backslash, dropping any run of backslashes before it; a path whose only
// backslash is its first character becomes empty; no backslash: unchanged.
void StripLastPathComponent(wchar_t* path);

// In place; null is ignored. White space is what CT_CTYPE1/C1_SPACE of the system default locale
// says. Runs are walked with CharNextW/CharPrevW: a character carrying combining marks ends a run.
void TrimLeadingSpaces(wchar_t* text);
void TrimTrailingSpaces(wchar_t* text);
// Remove the whole run of `ch` at the start / end.
void TrimLeadingChar(wchar_t* text, wchar_t ch);
void TrimTrailingChar(wchar_t* text, wchar_t ch);
// Removes exactly one `ch`, and only when it is the last character.
void RemoveTrailingChar(wchar_t* text, wchar_t ch);

// Position of the first / last `ch` in `text`, or null. Searching for L'\0' gives the end of the
// text. Null text gives null.
wchar_t* FindFirstChar(wchar_t ch, const wchar_t* text);
wchar_t* FindLastChar(wchar_t ch, const wchar_t* text);

// Leading decimal digits ('0'..'9') as an unsigned number (no overflow check); 0 for null or no digit.
unsigned long ParseDecimal(const wchar_t* text);

// Compares dotted version texts component by component (anything before the first digit is
// skipped; any non-digits separate). 0 when equal, -n / +n when component n of a is
// smaller / larger. Null counts as empty. Components are compared by value however many digits
// they have (no overflow); a missing component counts as 0, so 5.0.1 equals 5.0.1.0.
int CompareVersionStrings(const wchar_t* a, const wchar_t* b);

// First name from `format` (one integer placeholder) for first..last whose path in `directory`
// does not exist; when all exist, the name of `last`. The output holds the name (not the path).
// An entry that cannot be examined counts as existing. False, output empty, when a name does not fit
// the output or its path 260 chars, the format is null or first > last.
bool FindFreeNumberedName(wchar_t* output, size_t chars, const wchar_t* directory, const wchar_t* format,
                          int first, int last);

// ANSI text owned on the process heap; empty (never null) when a conversion fails.
class AnsiText {
  public:
    AnsiText() = default;
    ~AnsiText();
    AnsiText(AnsiText&& other);
    AnsiText& operator=(AnsiText&& other);
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;
    const char* c_str() const { return text_ != nullptr ? text_ : ""; }
    size_t size() const;         // bytes without the terminator
    void Adopt(char* heapText);  // takes a HeapAlloc block of the process heap (or null)

  private:
    char* text_ = nullptr;
};

// UTF-16 text owned on the process heap; empty (never null) when a conversion fails.
class WideText {
  public:
    WideText() = default;
    ~WideText();
    WideText(WideText&& other);
    WideText& operator=(WideText&& other);
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    const wchar_t* c_str() const { return text_ != nullptr ? text_ : L""; }
    size_t size() const;            // chars without the terminator
    void Adopt(wchar_t* heapText);  // takes a HeapAlloc block of the process heap (or null)

  private:
    wchar_t* text_ = nullptr;
};

// Conversions with the system ANSI code page (CP_ACP, no flags). Null or empty gives an empty text.
AnsiText WideToMultiByte(const wchar_t* text);
WideText MultiByteToWide(const char* text);
