// The running-program shutdown. The antivirus product went through three generations of window
// names; all are looked for, chosen by the installed product id, because an upgrade may meet any of
// them. Waits are bounded everywhere except on the stop commands themselves, which end on their own.
#include "process/shutdown.h"

#include <time.h>

#include "host/handles.h"
#include "host/paths.h"
#include "host/registry.h"
#include "host/system.h"
#include "host/text.h"
#include "log/logger.h"
#include "setup/errors.h"
#include "ui/resource_string.h"

namespace {

const unsigned kMsgStillRunning = 25526;
const unsigned kStringWindowTitle = 22000;
const unsigned kStringWindowClass = 22001;

const wchar_t kDialogClass[] = L"#32770";
const UINT kMsgAntivirusExit = WM_USER + 100;  // 1124: the antivirus windows' private exit request

const size_t kStopCommandChars = 2048;
const unsigned kCloseWaitSeconds = 3;
const unsigned kLongWaitSeconds = 16;  // from here on windows are polled less often
const DWORD kShortPollMs = 100;
const DWORD kLongPollMs = 250;
const DWORD kSecondMs = 1000;
const DWORD kMutexWaitMs = 10000;
const DWORD kDownloadWaitMs = 600000;  // the download program may be finishing a download
const DWORD kAfterMutexMs = 500;
const DWORD kAfterDialogMs = 1500;
const int kStartupRounds = 6;
const int kTrayAttempts = 8;
const int kIdentificationAttempts = 10;
const int kReleasePolls = 10;
const int kServicePolls = 5;

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kTrayMutex[] = L"Wexatray";
const wchar_t kMessengerMutex[] = L"Wexa Resident Protection App";
const wchar_t kIdentificationMutex[] = L"OVAV_RID_MUTEX";
const wchar_t kDownloadMutex[] = L"Active Update App";
const wchar_t kMessengerService[] = L"WEXAMSGNT";

static_assert(CLOCKS_PER_SEC == 1000, "clock() counts milliseconds");

// The dialogs of one generation.
struct DialogTitles {
    const wchar_t* status;     // real-time protection status (shown by the tray)
    const wchar_t* outOfDate;  // out-of-date warning
    const wchar_t* progress;   // progress meter (shown by the scanner)
};

const DialogTitles kGenerationTitles[] = {
    {L"Wexa Resident Protection Status", L"Wexa Out-of-date Warning", L"Wexa Progress Meter"},
    {L"Sanavo Real-time Protection Status", L"Sanavo Out-of-date Warning", L"Sanavo Progress Meter"},
    {L"Tarnel Nimbo Antivirus Real-time Protection Status", L"Tarnel Nimbo Antivirus Out-of-date Warning",
     L"Tarnel Nimbo Antivirus Progress Meter"},
};
// An unknown product: the dialogs are looked for under an empty title.
const DialogTitles kNoGenerationTitles = {L"", L"", L""};

// Product ids 0 and 1 are the first generation, 2 and 3 the second, 4 and 5 the current one.
const DialogTitles& TitlesFor(DWORD productId) {
    const DWORD generations = sizeof(kGenerationTitles) / sizeof(kGenerationTitles[0]);
    return productId / 2 < generations ? kGenerationTitles[productId / 2] : kNoGenerationTitles;
}

struct MainWindowNames {
    const wchar_t* windowClass;
    const wchar_t* title;
};

// Kind 2, by product id.
const MainWindowNames kProductIdWindows[] = {
    {L"WexaAV", L"Wexa Anti-Virus"},         {L"WexaAV", L"Wexa Anti-Virus"},
    {L"Sanavo", L"Sanavo Personal Edition"}, {L"Sanavo", L"Sanavo SOHO Edition"},
    {L"Sanavo", L"Tarnel Nimbo Antivirus"},  {L"Sanavo", L"Tarnel Nimbo Antivirus"},
};
const wchar_t kInstalledClassFallback[] = L"NIMBOAVAPP";
const wchar_t kInstalledTitleFallback[] = L"Tarnel Nimbo Antivirus";

bool IsFirstGeneration(DWORD productId) {
    return productId <= 1;
}

HWND FindNamedWindow(const wchar_t* title, const wchar_t* windowClass) {
    bool noClass = TextLength(windowClass) == 0;
    if (noClass && TextLength(title) == 0) {
        return nullptr;
    }
    return FindWindowW(noClass ? nullptr : windowClass, title);
}

bool DialogExists(const wchar_t* title) {
    return FindNamedWindow(title, kDialogClass) != nullptr;
}

bool MutexExists(const wchar_t* name) {
    ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
    return mutex.IsValid();
}

// Waits for the owner to release the mutex or end. False when it cannot be opened.
bool WaitOnMutex(const wchar_t* name, DWORD milliseconds) {
    ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
    if (!mutex.IsValid()) {
        return false;
    }
    DWORD result = WaitForSingleObject(mutex.Get(), milliseconds);
    // The wait took the mutex over: hand it back at once, so this process never keeps it alive.
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex.Get());
    }
    return true;
}

bool RunValueSet(const wchar_t* name) {
    wchar_t value[kCommandLineChars];
    LONG result = RegReadString(HKEY_LOCAL_MACHINE, kRunKey, name, value, sizeof(value));
    return result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && value[0] != L'\0');
}

// Runs "\"<folder>\<program>\" <switch>" and waits for it to end. Nothing happens for an empty
// folder, a line that does not fit or a program that cannot be started.
void RunStopCommand(const wchar_t* folder, const wchar_t* program, const wchar_t* stopSwitch) {
    if (TextLength(folder) == 0) {
        return;
    }
    // Quoted: with a blank in the folder ("C:\Program Files\...") CreateProcess would try
    // "C:\Program.exe" first.
    wchar_t command[kStopCommandChars];
    if (!TextFormat(command, kStopCommandChars, L"\"%s\\%s\" %s", folder, program, stopSwitch)) {
        return;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return;
    }
    ScopedHandle process(started.hProcess);
    ScopedHandle thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
}

// The service functions exist only on the NT family: bound by name, so the 9x family never needs
// them in the import table.
template <typename T>
void Bind(T* slot, HMODULE module, const char* name) {
    *slot = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct ServiceApi {
    SC_HANDLE(WINAPI* openManager)(LPCWSTR machine, LPCWSTR database, DWORD access);
    SC_HANDLE(WINAPI* openService)(SC_HANDLE manager, LPCWSTR name, DWORD access);
    BOOL(WINAPI* control)(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);
    BOOL(WINAPI* queryStatus)(SC_HANDLE service, SERVICE_STATUS* status);
    BOOL(WINAPI* close)(SC_HANDLE handle);
};

bool BindServiceApi(ServiceApi* api) {
    HMODULE advapi = GetModuleHandleW(L"ADVAPI32.DLL");
    if (advapi == nullptr) {
        return false;
    }
    Bind(&api->openManager, advapi, "OpenSCManagerW");
    Bind(&api->openService, advapi, "OpenServiceW");
    Bind(&api->control, advapi, "ControlService");
    Bind(&api->queryStatus, advapi, "QueryServiceStatus");
    Bind(&api->close, advapi, "CloseServiceHandle");
    return api->openManager != nullptr && api->openService != nullptr && api->control != nullptr &&
           api->queryStatus != nullptr && api->close != nullptr;
}

bool ServiceStillRunning(const ServiceApi& api, SC_HANDLE service, SERVICE_STATUS* status) {
    return api.queryStatus(service, status) && status->dwCurrentState != SERVICE_STOPPED;
}

// Sends the messenger service the stop control and gives it about half a second to stop.
void StopMessengerService() {
    ServiceApi api = {};
    if (!BindServiceApi(&api)) {
        return;
    }
    SC_HANDLE manager = api.openManager(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return;
    }
    SC_HANDLE service = api.openService(manager, kMessengerService, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (service != nullptr) {
        SERVICE_STATUS status = {};
        // A refused control leaves the status unwritten: it is asked for instead.
        bool controlled = api.control(service, SERVICE_CONTROL_STOP, &status) != FALSE;
        bool running = controlled ? status.dwCurrentState != SERVICE_STOPPED
                                  : ServiceStillRunning(api, service, &status);
        if (running) {
            Sleep(10);
            running = ServiceStillRunning(api, service, &status);
        }
        for (int poll = 0; running && poll < kServicePolls; ++poll) {
            Sleep(kShortPollMs);
            running = ServiceStillRunning(api, service, &status);
        }
        api.close(service);
    }
    api.close(manager);
}

// Every window name one run needs, worked out once.
struct AntivirusWindows {
    DWORD productId;
    const DialogTitles* dialogs;
    bool windowsMe;  // the oldest generation is also looked for under the Windows 98 names
    wchar_t byWindowsClass[kWindowClassChars];
    wchar_t byWindowsTitle[kWindowTitleChars];
    wchar_t by98Class[kWindowClassChars];
    wchar_t by98Title[kWindowTitleChars];
    wchar_t byProductClass[kWindowClassChars];
    wchar_t byProductTitle[kWindowTitleChars];
    wchar_t installedClass[kWindowClassChars];
    wchar_t installedTitle[kWindowTitleChars];
};

void PrepareWindows(AntivirusWindows* windows, DWORD productId, const wchar_t* folder) {
    wchar_t shortName[16];
    GetWindowsShortName(shortName, sizeof(shortName) / sizeof(shortName[0]));
    windows->productId = productId;
    windows->dialogs = &TitlesFor(productId);
    windows->windowsMe = TextCompareNoCase(shortName, L"ME") == 0;
    GetAntivirusWindowNames(kAntivirusWindowByWindows, productId, shortName, folder, windows->byWindowsClass,
                            windows->byWindowsTitle);
    GetAntivirusWindowNames(kAntivirusWindowByWindows, productId, L"98", folder, windows->by98Class,
                            windows->by98Title);
    GetAntivirusWindowNames(kAntivirusWindowByProductId, productId, shortName, folder,
                            windows->byProductClass, windows->byProductTitle);
    GetAntivirusWindowNames(kAntivirusWindowInstalled, productId, shortName, folder, windows->installedClass,
                            windows->installedTitle);
}

bool OldestWindowExists(const AntivirusWindows& w) {
    return FindNamedWindow(w.byWindowsTitle, w.byWindowsClass) != nullptr ||
           (w.windowsMe && FindNamedWindow(w.by98Title, w.by98Class) != nullptr);
}

bool ProductIdWindowExists(const AntivirusWindows& w) {
    return FindNamedWindow(w.byProductTitle, w.byProductClass) != nullptr;
}

bool InstalledWindowExists(const AntivirusWindows& w) {
    return FindNamedWindow(w.installedTitle, w.installedClass) != nullptr;
}

bool TrayRunning(const AntivirusWindows& w) {
    return MutexExists(kTrayMutex) || DialogExists(w.dialogs->status);
}

// A start-up dialog carries the title of a main window; a kind without names has nothing to close.
void CloseStartupDialog(const wchar_t* title) {
    if (TextLength(title) == 0 || !DialogExists(title)) {
        return;
    }
    CloseWindows(title, kDialogClass, kMsgAntivirusExit, 3);
    CloseWindows(title, kDialogClass, WM_DESTROY, 3);
    Sleep(kAfterDialogMs);
}

void CloseStartupDialogs(const AntivirusWindows& w) {
    CloseStartupDialog(w.byWindowsTitle);
    if (w.windowsMe) {
        CloseStartupDialog(w.by98Title);
    }
    CloseStartupDialog(w.byProductTitle);
    CloseStartupDialog(w.installedTitle);
    if (DialogExists(w.dialogs->outOfDate)) {
        CloseWindows(w.dialogs->outOfDate, kDialogClass, WM_CLOSE, 5);
        Sleep(kAfterDialogMs);
    }
}

// The private exit request first, then the destroy message, each `count` times at most.
void AskWindowToEnd(const wchar_t* title, const wchar_t* windowClass, int count) {
    CloseWindows(title, windowClass, kMsgAntivirusExit, count);
    CloseWindows(title, windowClass, WM_DESTROY, count);
}

// Programs that start with Windows may still be on their way: wait, bounded, for them to appear.
void WaitForStartupPrograms(const AntivirusWindows& w) {
    int roundsWithoutWindow = 0;
    if (RunValueSet(L"Wexa Start Up")) {
        for (int round = 1; round <= kStartupRounds; ++round) {
            CloseStartupDialogs(w);
            if (DialogExists(w.dialogs->progress) || OldestWindowExists(w) || ProductIdWindowExists(w) ||
                InstalledWindowExists(w)) {
                break;
            }
            ++roundsWithoutWindow;
            if (round < kStartupRounds) {
                Sleep(kSecondMs);
            }
        }
    }
    int trayMisses = 0;
    if (RunValueSet(L"WexaTray") || RunValueSet(L"ovaavtray")) {
        for (int attempt = 1; attempt <= kTrayAttempts - roundsWithoutWindow; ++attempt) {
            if (TrayRunning(w)) {
                break;
            }
            ++trayMisses;
            if (attempt < kTrayAttempts - roundsWithoutWindow) {
                Sleep(kSecondMs);
            }
        }
    }
    if (RunValueSet(L"OVAVRid")) {
        for (int attempt = 1; attempt <= kIdentificationAttempts - trayMisses; ++attempt) {
            if (MutexExists(kIdentificationMutex)) {
                break;
            }
            if (attempt < kIdentificationAttempts - trayMisses) {
                Sleep(kSecondMs);
            }
        }
    }
}

void StopMessenger(const wchar_t* folder) {
    RunStopCommand(folder, L"WexaMsg.exe", L"-k");
    if (IsWindowsNT() && MutexExists(kMessengerMutex)) {
        StopMessengerService();
    }
}

void StopTray(const AntivirusWindows& w, const wchar_t* folder) {
    if (!TrayRunning(w)) {
        return;
    }
    RunStopCommand(folder, L"WexaTray.exe", L"/exit");
    RunStopCommand(folder, L"ovavtray.exe", L"/exit");
    AskWindowToEnd(w.dialogs->status, kDialogClass, 5);
    if (WaitOnMutex(kTrayMutex, kMutexWaitMs)) {
        Sleep(kAfterMutexMs);
        return;
    }
    for (int poll = 0; poll < kReleasePolls && TrayRunning(w); ++poll) {
        Sleep(kSecondMs);
    }
}

void StopIdentificationProgram(const wchar_t* folder) {
    if (!MutexExists(kIdentificationMutex)) {
        return;
    }
    RunStopCommand(folder, L"OVAVRid.exe", L"-k");
    if (WaitOnMutex(kIdentificationMutex, kMutexWaitMs)) {
        Sleep(kAfterMutexMs);
        return;
    }
    for (int poll = 0; poll < kReleasePolls && MutexExists(kIdentificationMutex); ++poll) {
        Sleep(kSecondMs);
    }
}

void StopDownloadProgram(const wchar_t* folder) {
    CloseWindows(L"AutoDownload Error", kDialogClass, WM_CLOSE, 5);
    if (!MutexExists(kDownloadMutex)) {
        return;
    }
    RunStopCommand(folder, L"SigFetch.exe", L"/exit");
    CloseWindows(L"AutoDownload Connection Error", kDialogClass, WM_CLOSE, 5);
    if (WaitOnMutex(kDownloadMutex, kDownloadWaitMs)) {
        Sleep(kAfterMutexMs);
    }
}

void CloseMainWindows(const AntivirusWindows& w) {
    CloseWindows(w.installedTitle, w.installedClass, WM_DESTROY, 10);
    AskWindowToEnd(w.byProductTitle, w.byProductClass, 10);
    if (IsFirstGeneration(w.productId)) {
        AskWindowToEnd(w.byWindowsTitle, w.byWindowsClass, 10);
        if (w.windowsMe) {
            AskWindowToEnd(w.by98Title, w.by98Class, 10);
        }
    }
}

// Logs `program` when `running`; true when it was.
bool NoteStillRunning(bool running, const wchar_t* program) {
    if (running) {
        LogInfoReport(kMsgStillRunning, ErrorProgramStillRunning, program);
    }
    return running;
}

int CheckNothingLeft(const AntivirusWindows& w) {
    bool left = false;
    left |= NoteStillRunning(TrayRunning(w), L"ovavtray.exe");
    left |= NoteStillRunning(MutexExists(kIdentificationMutex), L"ovavrid.exe");
    left |= NoteStillRunning(DialogExists(w.dialogs->progress), L"ovav.exe");
    left |= NoteStillRunning(InstalledWindowExists(w), L"ovav.exe");
    left |= NoteStillRunning(ProductIdWindowExists(w), L"wexa32.exe");
    if (IsFirstGeneration(w.productId)) {
        left |= NoteStillRunning(OldestWindowExists(w), L"wexa32.exe (Generation 1");
    }
    left |= NoteStillRunning(MutexExists(kDownloadMutex), L"sigfetch.exe");
    return left ? ErrorProgramStillRunning : 0;
}

}  // namespace

int StopSuitePrograms(const wchar_t* suiteFilesFolder) {
    RunStopCommand(suiteFilesFolder, L"ovkestra.exe", L"-k");
    RunStopCommand(suiteFilesFolder, L"ovkestradt.exe", L"-k");
    Sleep(kSecondMs);
    LogInfoReport(kMsgStillRunning, ErrorProgramStillRunning, L"ovkestra.exe");
    LogInfoReport(kMsgStillRunning, ErrorProgramStillRunning, L"ovkestradt.exe");
    return 0;
}

int StopAntivirusPrograms(DWORD productId, const wchar_t* avFilesFolder) {
    AntivirusWindows windows;
    PrepareWindows(&windows, productId, avFilesFolder);
    WaitForStartupPrograms(windows);
    StopMessenger(avFilesFolder);
    RunStopCommand(avFilesFolder, L"Wardel.exe", L"-k");
    RunStopCommand(avFilesFolder, L"SanavoScanner.exe", L"-k");
    StopTray(windows, avFilesFolder);
    StopIdentificationProgram(avFilesFolder);
    StopDownloadProgram(avFilesFolder);
    AskWindowToEnd(windows.dialogs->progress, kDialogClass, 10);
    CloseMainWindows(windows);
    return CheckNothingLeft(windows);
}

HWND WaitWindowGone(unsigned seconds, const wchar_t* title, const wchar_t* windowClass) {
    if (TextLength(title) == 0 && TextLength(windowClass) == 0) {
        return nullptr;
    }
    const clock_t start = clock();
    const DWORD pause = seconds >= kLongWaitSeconds ? kLongPollMs : kShortPollMs;
    while (FindNamedWindow(title, windowClass) != nullptr) {
        Sleep(pause);
        if (seconds != 0 && static_cast<unsigned long>(clock() - start) >= seconds * 1000UL) {
            return FindNamedWindow(title, windowClass);
        }
    }
    return nullptr;
}

HWND CloseWindows(const wchar_t* title, const wchar_t* windowClass, UINT message, int count) {
    HWND window = FindNamedWindow(title, windowClass);
    for (int sent = 0; window != nullptr && sent < count; ++sent) {
        SendMessageW(window, message, 0, 0);
        window = WaitWindowGone(kCloseWaitSeconds, title, windowClass);
    }
    return window;
}

void GetAntivirusWindowNames(int kind, DWORD productId, const wchar_t* shortName, const wchar_t* filesFolder,
                             wchar_t* windowClass, wchar_t* title) {
    TextClear(windowClass, kWindowClassChars);
    TextClear(title, kWindowTitleChars);
    switch (kind) {
        case kAntivirusWindowByWindows:
            TextFormat(windowClass, kWindowClassChars, L"Wexa%s", shortName != nullptr ? shortName : L"");
            TextFormat(title, kWindowTitleChars, L"Wexa for Windows %s",
                       shortName != nullptr ? shortName : L"");
            break;
        case kAntivirusWindowByProductId:
            if (productId < sizeof(kProductIdWindows) / sizeof(kProductIdWindows[0])) {
                TextCopy(windowClass, kWindowClassChars, kProductIdWindows[productId].windowClass);
                TextCopy(title, kWindowTitleChars, kProductIdWindows[productId].title);
            }
            break;
        case kAntivirusWindowInstalled: {
            wchar_t path[kPathChars];
            ScopedModule library;
            if (TextLength(filesFolder) > 0 && AppendPath(path, kPathChars, filesFolder, L"ovavprod.dll")) {
                UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
                library.Reset(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
                SetErrorMode(previousMode);
            }
            if (!library.IsValid() ||
                LoadResourceString(library.Get(), kStringWindowClass, windowClass, kWindowClassChars) == 0) {
                TextCopy(windowClass, kWindowClassChars, kInstalledClassFallback);
            }
            if (!library.IsValid() ||
                LoadResourceString(library.Get(), kStringWindowTitle, title, kWindowTitleChars) == 0) {
                TextCopy(title, kWindowTitleChars, kInstalledTitleFallback);
            }
            break;
        }
        default:
            break;
    }
}
