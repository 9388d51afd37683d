#include "setup/setup.h"

#include "log/logger.h"
#include "setup/roles.h"
#include "ui/framework.h"
#include "ui/notices.h"

namespace {

Setup* g_current = nullptr;
Setup::Factory g_factory = nullptr;

// Where a report takes the argument of a part from.
enum Arg : unsigned char { kNoArg, kText1, kText2 };

// How a code is reported.
enum Style : unsigned char {
    kNothing,         // reported where it arises, or not at all
    kErrorLine,       // Logger::Error(id, code): the message with the code in front
    kReportParts,     // Logger::Report with the severity as log and show kind
    kMessageLine,     // Logger::Message(id)
    kRichEditNotice,  // the framework's notice dialog; nothing logged
    kWinsockNotice,
    kProcessStart,  // 25030 while installing, 25042 otherwise
};

// Packed small: the table is part of the shipped program.
struct PartSpec {
    unsigned short id;
    Arg arg;
    unsigned char breaks;
};

struct ErrorEntry {
    unsigned short code;
    Style style;
    PartSpec parts[3];
};

const ErrorEntry kErrorTable[] = {
    {ErrorComInit, kErrorLine, {{25003, kNoArg, 0}}},
    {ErrorFrameworkLoad, kErrorLine, {{25006, kNoArg, 0}}},
    {ErrorResourceLoad, kErrorLine, {{25006, kNoArg, 0}}},
    {ErrorNoProductAvailable, kErrorLine, {{25005, kNoArg, 0}}},
    {ErrorRichEditVersion, kRichEditNotice, {}},
    {ErrorOtherSessions, kReportParts, {{25009, kNoArg, 2}, {25010, kNoArg, 0}}},
    {ErrorRichEditLoad, kErrorLine, {{25011, kNoArg, 0}}},
    {ErrorOperatingSystem, kReportParts, {{25012, kText1, 2}, {25013, kText2, 0}}},
    {ErrorNoProductAccepted, kErrorLine, {{25007, kNoArg, 0}}},
    {ErrorRegistryPermission, kReportParts, {{25014, kText2, 2}, {25015, kText1, 2}, {25017, kNoArg, 0}}},
    {ErrorDirectoryPermission, kReportParts, {{25014, kText2, 2}, {25016, kText1, 2}, {25017, kNoArg, 0}}},
    {ErrorPrerequisite, kReportParts, {{25018, kText2, 0}}},
    {ErrorWinsock, kWinsockNotice, {}},
    {ErrorNewerVersionInstalled, kReportParts, {{25019, kText2, 2}, {25020, kNoArg, 2}, {25021, kText2, 0}}},
    {ErrorCancelled, kMessageLine, {{25001, kNoArg, 0}}},
    {ErrorAgreementDeclined, kMessageLine, {{25002, kNoArg, 0}}},
    {ErrorProgramStillRunning, kErrorLine, {{25028, kNoArg, 0}}},
    {ErrorSetupProgramMissing, kReportParts, {{25029, kText2, 0}}},
    {ErrorSetupCommandLine, kReportParts, {{25029, kText2, 0}}},
    {ErrorProcessStart, kProcessStart, {}},
    {ErrorVersionAfterInstall, kReportParts, {{25031, kText2, 0}}},
    {ErrorInstalledFilesPath, kReportParts, {{25041, kText2, 0}}},
    {ErrorUninstallCommandLine, kReportParts, {{25041, kText2, 0}}},
    {ErrorNothingInstalled, kErrorLine, {{25039, kNoArg, 0}}},
    {ErrorNoProductRemovable, kErrorLine, {{25040, kNoArg, 0}}},
    {ErrorStillInstalled, kReportParts, {{25043, kText2, 0}}},
    {ErrorFirewallConfigPath, kReportParts, {{25045, kText2, 0}}},
    {ErrorFirewallConfigWrite, kReportParts, {{25046, kText2, 0}}},
    {ErrorCreateDirectory, kReportParts, {{25016, kText1, 0}}},
};

const ErrorEntry* FindEntry(int code) {
    for (const ErrorEntry& entry : kErrorTable) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;  // reported where it arises, or not at all
}

}  // namespace

bool ProductList::Append(Product* product) {
    if (count_ >= kCapacity) {
        return false;
    }
    items_[count_++] = product;
    return true;
}

void ProductList::RemoveAt(int i) {
    if (i < 0 || i >= count_) {
        return;
    }
    for (int k = i; k + 1 < count_; ++k) {
        items_[k] = items_[k + 1];
    }
    items_[--count_] = nullptr;
}

Setup::~Setup() {}

Setup* Setup::Create(int role) {
    Destroy();
    Setup* setup = nullptr;
    switch (g_factory != nullptr ? -1 : role) {
        case -1:
            setup = g_factory(role);
            break;
        case kRoleUninstall:
            setup = new SetupUninstall();
            break;
        case kRoleCleanup:
            setup = new SetupCleanup();
            break;
        case kRoleTrustList:
            setup = new SetupTrustList();
            break;
        default:
            setup = new SetupInstall();
            break;
    }
    if (setup != nullptr) {
        setup->role = role;
    }
    g_current = setup;
    return setup;
}

void Setup::SetFactoryForTests(Factory factory) {
    g_factory = factory;
}

Setup* Setup::Get() {
    return g_current;
}

void Setup::Destroy() {
    if (g_current != nullptr) {
        g_current->products.Clear();
        delete g_current;
        g_current = nullptr;
    }
}

void Setup::ReportError(int code, const wchar_t* text1, const wchar_t* text2, int severity) {
    if (severity < 0 || severity > 4) {
        severity = 1;
    }
    if (code < 9002 || code > 9043 || code == ErrorTrustList) {
        return;
    }
    if (severity != 0 && severity != 4) {
        const ErrorEntry* entry = FindEntry(code);
        Logger& log = Logger::Get();
        Style style = entry != nullptr ? entry->style : kNothing;
        switch (style) {
            case kNothing:
                break;
            case kErrorLine:
                log.Error(entry->parts[0].id, static_cast<unsigned>(code), nullptr);
                break;
            case kMessageLine:
                log.Message(entry->parts[0].id, nullptr);
                break;
            case kRichEditNotice:
                ShowRichEditNotice(window);
                break;
            case kWinsockNotice:
                ShowWinsockNotice(window, text2);
                break;
            case kProcessStart: {
                ReportPart part = {role == kRoleInstall ? 25030u : 25042u, text2, 0};
                log.Report(severity, severity, static_cast<unsigned>(code), 1, &part);
                break;
            }
            case kReportParts: {
                ReportPart parts[3];
                int count = 0;
                for (const PartSpec& spec : entry->parts) {
                    if (spec.id == 0) {
                        break;
                    }
                    const wchar_t* argument =
                        spec.arg == kText1 ? text1 : (spec.arg == kText2 ? text2 : nullptr);
                    parts[count++] = {spec.id, argument, spec.breaks};
                }
                log.Report(severity, severity, static_cast<unsigned>(code), count, parts);
                break;
            }
        }
    }
    if (severity == 1) {
        // The first error decides the run's result; later ones are only reported.
        InterlockedCompareExchange(&result, code, 0);
    }
}

void Setup::AskRestart(unsigned messageId) {
    if (Logger::Get().GetDisplayLevel() < 2) {
        return;  // unattended: never ask, never restart
    }
    if (window != nullptr) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    if (Framework::Get().ShowMessageId(0, window, messageId, 20058, 0, 0) == 1) {
        restartRequested = 1;
    }
}
