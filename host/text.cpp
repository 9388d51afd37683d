#include "host/text.h"

#include <stdio.h>
#include <windows.h>

size_t TextLength(const wchar_t* text) {
    return text == nullptr ? 0 : wcslen(text);
}

size_t TextLengthWithin(const wchar_t* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != L'\0') {
        ++length;
    }
    return length;
}

void TextClear(wchar_t* buffer, size_t chars) {
    if (buffer != nullptr && chars > 0) {
        ZeroMemory(buffer, chars * sizeof(wchar_t));
    }
}

bool TextCopy(wchar_t* buffer, size_t chars, const wchar_t* source) {
    if (buffer == nullptr || chars == 0) {
        return false;
    }
    size_t length = TextLength(source);
    if (length >= chars) {
        TextClear(buffer, chars);
        return false;
    }
    // memmove: the source may lie inside the buffer.
    MoveMemory(buffer, source == nullptr ? L"" : source, length * sizeof(wchar_t));
    buffer[length] = L'\0';
    return true;
}

bool TextAppend(wchar_t* buffer, size_t chars, const wchar_t* source) {
    if (buffer == nullptr || chars == 0) {
        return false;
    }
    size_t have = TextLengthWithin(buffer, chars);
    size_t length = TextLength(source);
    if (have >= chars || length >= chars - have) {
        TextClear(buffer, chars);
        return false;
    }
    MoveMemory(buffer + have, source == nullptr ? L"" : source, length * sizeof(wchar_t));
    buffer[have + length] = L'\0';
    return true;
}

bool TextFormatV(wchar_t* buffer, size_t chars, const wchar_t* format, va_list args) {
    if (buffer == nullptr || chars == 0 || format == nullptr) {
        TextClear(buffer, chars);
        return false;
    }
    // _vsnwprintf returns a negative count, or exactly `chars` without a terminator, when the
    // text does not fit.
    int written = _vsnwprintf(buffer, chars, format, args);
    if (written < 0 || static_cast<size_t>(written) >= chars) {
        TextClear(buffer, chars);
        return false;
    }
    buffer[written] = L'\0';
    return true;
}

bool TextFormat(wchar_t* buffer, size_t chars, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = TextFormatV(buffer, chars, format, args);
    va_end(args);
    return ok;
}

size_t TextFormatCutV(wchar_t* buffer, size_t chars, const wchar_t* format, va_list args) {
    if (buffer == nullptr || chars == 0) {
        return 0;
    }
    if (format == nullptr) {
        buffer[0] = L'\0';
        return 0;
    }
    int written = _vsnwprintf(buffer, chars - 1, format, args);
    if (written < 0 || static_cast<size_t>(written) >= chars - 1) {
        written = static_cast<int>(chars - 1);
    }
    buffer[written] = L'\0';
    return static_cast<size_t>(written);
}

size_t TextFormatCut(wchar_t* buffer, size_t chars, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    size_t length = TextFormatCutV(buffer, chars, format, args);
    va_end(args);
    return length;
}

void TextCopyCut(wchar_t* buffer, size_t chars, const wchar_t* source) {
    if (buffer == nullptr || chars == 0) {
        return;
    }
    size_t length = TextLength(source);
    if (length >= chars) {
        length = chars - 1;
    }
    MoveMemory(buffer, source == nullptr ? L"" : source, length * sizeof(wchar_t));
    buffer[length] = L'\0';
}

int TextCompareNoCase(const wchar_t* a, const wchar_t* b) {
    return lstrcmpiW(a == nullptr ? L"" : a, b == nullptr ? L"" : b);
}
