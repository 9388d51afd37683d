// The one channel through which the program reports: every error, warning, message and value
// becomes a time-stamped line of the log file (ANSI, CR LF) and, by the display level, a message
// box. Lines carry the message id, so a log reads even where the texts are missing.
// Levels (0..4, the same scale for the file and the screen): 0 nothing, 1 errors, 2 also warnings,
// 3 also messages and values (and the header and closing lines), 4 also raw writes and plain boxes.
// `force` marks a call made from inside another logging operation: it skips the level and busy
// tests and leaves the busy flag set. An unforced call that finds another in progress is dropped.
#pragma once
#include <windows.h>

enum LogKind { kLogNone = 0, kLogError = 1, kLogWarning = 2, kLogInformation = 3 };

// Message ids with a fixed role in the log.
enum LogMessageId : unsigned {
    kMsgLogHeader = 25501,   // opening header (never shown)
    kMsgLogClosing = 25502,  // closing result line (never shown)
    kMsgValueWord = 25504,
    kMsgWarningWord = 25505,
    kMsgErrorWord = 25506,
    kMsgCaption = 22006,
};

// One part of a composite report: the text of `id` formatted with `argument` (or the argument
// alone when id is 0), followed by `lineBreaks` CR LF pairs in the combined text.
struct ReportPart {
    unsigned id;
    const wchar_t* argument;
    int lineBreaks;
};

// What the log needs from layers above it, set once they exist.
struct LoggerHooks {
    // Caption of message boxes: the display name of the product in charge. False when none.
    bool (*productCaption)(wchar_t* buffer, size_t chars);
    // Shows a box through the framework library; the button pressed, or -1 when not loaded.
    int (*frameworkShowMessage)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
};

class Logger {
public:
    static Logger& Get();

    void SetHooks(const LoggerHooks& hooks);
    // Previous level; values outside 0..4 are ignored.
    int SetLogLevel(int level);
    int SetDisplayLevel(int level);
    int GetLogLevel() const { return logLevel_; }
    int GetDisplayLevel() const { return displayLevel_; }
    void SetOwnerWindow(HWND window);
    const wchar_t* GetPath() const { return path_; }

    // Makes `path` (when not empty) the log file; at log level 3 writes the header line and the
    // program's command line, after emptying the file when `truncate` is set.
    void Open(const wchar_t* path, bool truncate, bool force = false);
    // The closing line with the result and the separator between runs.
    void Close(int result, bool force = false);

    // The text is `text`, or when null the string `id`. A non-zero code prefixes "<word> E<code>: ".
    void Error(unsigned id, unsigned code, const wchar_t* text, bool force = false);
    void Warning(unsigned id, unsigned code, const wchar_t* text, bool force = false);
    void Message(unsigned id, const wchar_t* text, bool force = false);
    void Value(unsigned id, unsigned value, const wchar_t* text, bool force = false);
    void ValueSigned(unsigned id, int value, const wchar_t* text, bool force = false);
    void ValueText(unsigned id, const wchar_t* value, const wchar_t* text, bool force = false);

    // One log line per part (each with its id), then at most one message box holding all parts.
    void Report(int logKind, int showKind, unsigned code, int count, const ReportPart* parts);

    // A message box (unforced only at display level 4); captioned with the product's name.
    void ShowMessage(const wchar_t* text, bool force = false);
    // One formatted file line; the text converted as it is; bytes as they are. Unforced: level 4.
    void WriteLine(const wchar_t* text, unsigned id, bool force = false);
    void WriteText(const wchar_t* text, bool force = false);
    void WriteRaw(const void* bytes, DWORD count, bool force = false);

private:
    Logger() = default;
    wchar_t path_[MAX_PATH] = L"C:\\ovlog.txt";
    int logLevel_ = 3;
    int displayLevel_ = 2;
    HWND ownerWindow_ = nullptr;
    LoggerHooks hooks_ = {};
};

// The information report of the host utilities: one part (id with its argument) written at log
// level 3 and shown at display level 3; `code` is the system error code or 0.
void LogInfoReport(unsigned id, unsigned code, const wchar_t* argument);
// The same with a truncating format for the argument (at most kMessageChars).
void LogInfoReportF(unsigned id, unsigned code, const wchar_t* format, ...);
