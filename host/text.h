// Bounded UTF-16 text in caller buffers. Sizes are in wide characters with the
// terminator included. Two kinds of copy, never to be mixed up:
//  - exact (paths, command lines, registry texts): the text goes in whole or the
//    operation fails and leaves the buffer empty; a cut path is never produced;
//  - truncating (log and message texts): cut at the buffer size, always terminated.
#pragma once
#include <stdarg.h>
#include <stddef.h>
#include <wchar.h>

const size_t kPathChars = 260;         // one file-system path
const size_t kCommandLineChars = 520;  // a command line; its switches part fits kPathChars
const size_t kMessageChars = 512;      // message details

// Length of a text; null counts as empty.
size_t TextLength(const wchar_t* text);
// Length of a text, looking at no more than `limit` chars: `limit` when none of them ends it.
// (Not wcsnlen: msvcrt.dll of the older systems lacks it.)
size_t TextLengthWithin(const wchar_t* text, size_t limit);

// Sets every char of the buffer to zero (no-op for null or 0 chars).
void TextClear(wchar_t* buffer, size_t chars);

// Exact copy of `source` (null = empty). False, and the buffer cleared, when it does not fit
// or the buffer is absent.
bool TextCopy(wchar_t* buffer, size_t chars, const wchar_t* source);

// Exact append of `source` (null = empty) behind what the buffer holds. False, and the buffer
// cleared, when the whole result does not fit.
bool TextAppend(wchar_t* buffer, size_t chars, const wchar_t* source);

// Exact format (msvcrt rules: "%s" takes a wide text). False, and the buffer cleared, when the
// formatted text does not fit whole.
bool TextFormat(wchar_t* buffer, size_t chars, const wchar_t* format, ...);
bool TextFormatV(wchar_t* buffer, size_t chars, const wchar_t* format, va_list args);

// Truncating format: cut at the buffer size and always terminated. Returns the length written.
size_t TextFormatCut(wchar_t* buffer, size_t chars, const wchar_t* format, ...);
size_t TextFormatCutV(wchar_t* buffer, size_t chars, const wchar_t* format, va_list args);

// Truncating copy: as much of `source` as fits, always terminated.
void TextCopyCut(wchar_t* buffer, size_t chars, const wchar_t* source);

// Case-insensitive comparison of two texts (null = empty); 0 when equal.
int TextCompareNoCase(const wchar_t* a, const wchar_t* b);
