// The one channel through which the program reports: every error, warning, message and value
// becomes a time-stamped line of the log file (ANSI, CR LF) and, by the display level, a message
// box. Lines carry the message id, so a log reads even where the texts are missing.
// Levels (0..4, the same scale for the file and the screen): 0 nothing, 1 errors, 2 also warnings,
// 3 also messages and values (and the header and closing lines), 4 also raw writes and plain boxes.
// `force` marks a call made from inside another logging operation: it skips the entry level test
// and the busy test and leaves the flag to the outer operation. An unforced call that finds another
// logging operation in progress (on any thread) is dropped, so the log never re-enters itself.
// The file is opened, appended to and closed for every line; nothing is buffered. The caller's
// last error code survives every operation.
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
    const LoggerHooks& GetHooks() const { return hooks_; }
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

    // The text is `text`, or when null the string `id` (cut at 2048 chars); an empty text is neither
    // written nor shown. Error needs level 1, Warning 2, the others 3 (file and screen alike). A
    // non-zero code prefixes "<word 25506> E<code>: " (warnings "<word 25505> W<code>: "); values
    // append " - <word 25504> = <value>". Ids 25501 and 25502 are never shown.
    void Error(unsigned id, unsigned code, const wchar_t* text, bool force = false);
    void Warning(unsigned id, unsigned code, const wchar_t* text, bool force = false);
    void Message(unsigned id, const wchar_t* text, bool force = false);
    void Value(unsigned id, unsigned value, const wchar_t* text, bool force = false);
    void ValueSigned(unsigned id, int value, const wchar_t* text, bool force = false);
    void ValueText(unsigned id, const wchar_t* value, const wchar_t* text, bool force = false);

    // One log line per part (each with its id), then at most one message box holding all parts.
    // Kinds: kLogError, kLogWarning, kLogInformation (a value line with `code` when it is non-zero,
    // else a message); anything else: none. A part's argument fills each "%s" of its text; "%%"
    // gives "%" and any other conversion stays as written (the texts are data, not formats).
    void Report(int logKind, int showKind, unsigned code, int count, const ReportPart* parts);

    // A message box (unforced only at display level 4); captioned with the product's name.
    void ShowMessage(const wchar_t* text, bool force = false);
    // One formatted file line; the text converted as it is; bytes as they are. Unforced: level 4.
    void WriteLine(const wchar_t* text, unsigned id, bool force = false);
    void WriteText(const wchar_t* text, bool force = false);
    void WriteRaw(const void* bytes, DWORD count, bool force = false);

  private:
    struct Entry;  // one level operation's request (kind, id, code or value, texts)

    Logger() = default;
    // The common frame of the level operations, with the levels to test against given explicitly so
    // that Report can write without showing (and show without writing) without touching the fields.
    void Emit(const Entry& entry, bool force, int fileLevel, int screenLevel);
    // Sends one text through the operation of `kind` (kLogError...); other kinds do nothing.
    void Dispatch(int kind, unsigned id, unsigned code, const wchar_t* text, int fileLevel, int screenLevel);
    // Takes the busy flag for an unforced call; false (the call is dropped) when it is held.
    bool EnterBusy(bool force);
    void LeaveBusy(bool force);
    // The line text of a level operation: prefix, base text, value suffix (truncating).
    static void BuildLineText(const Entry& entry, wchar_t* line, size_t chars);
    // Converts to the ANSI code page and appends; the caller holds the busy flag.
    void AppendWide(const wchar_t* text, size_t length);

    wchar_t path_[MAX_PATH] = L"C:\\ovlog.txt";
    int logLevel_ = 3;
    int displayLevel_ = 2;
    HWND ownerWindow_ = nullptr;
    LoggerHooks hooks_ = {};
    LONG busy_ = 0;      // a logging operation is in progress (taken with Interlocked...)
    LONG fileLock_ = 0;  // one append to the file at a time
};

// The information report of the host utilities: one part (id with its argument) written at log
// level 3 and shown at display level 3; `code` is the system error code or 0.
void LogInfoReport(unsigned id, unsigned code, const wchar_t* argument);
// The same with a truncating format for the argument (at most kMessageChars).
void LogInfoReportF(unsigned id, unsigned code, const wchar_t* format, ...);
