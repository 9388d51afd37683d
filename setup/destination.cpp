#include "setup/destination.h"

#include "components/product_main.h"
#include "host/paths.h"
#include "host/system.h"
#include "log/logger.h"
#include "product/product.h"
#include "setup/errors.h"
#include "setup/options.h"
#include "setup/setup.h"
#include "ui/framework.h"
#include "ui/framework_abi.h"
#include "ui/resource_string.h"

namespace {

const int kPathItem = 1292;
const int kExplanationItem = 1293;
const int kBrowseItem = 1030;
const int kLabelItem = 1087;

const unsigned kMsgPickerTitle = 20130;
const unsigned kMsgSuiteFolderName = 22013;
const unsigned kMsgFixedFolder = 24002;
const unsigned kMsgInstallButton = 24003;
const unsigned kMsgInvalidFolder = 25025;
const unsigned kMsgFolderAdvice = 25026;

const size_t kFixedFolderChars = 320;
const size_t kButtonChars = 96;
const size_t kPickerTitleChars = 256;

// A folder read from the registry, trimmed, with room for the "\." appended below.
const size_t kFolderChars = kPathChars + 2;

bool IsSameOrInside(const wchar_t* path, const wchar_t* folder) {
    wchar_t reference[kFolderChars];
    if (!TextCopy(reference, kFolderChars, folder) || TrimPathEnd(reference) == nullptr) {
        return false;
    }
    if (PathsEqual(path, reference, true)) {
        return true;
    }
    // PathsEqual compares text prefixes: without the separator "C:\Windows2" would lie inside
    // "C:\Windows".
    return EnsureTrailingChar(reference, kFolderChars, L'\\') && PathsEqual(path, reference, false);
}

bool IsInsideDocuments(const wchar_t* path, bool allUsers) {
    wchar_t folder[kPathChars];
    return GetDocumentsDir(folder, kPathChars, allUsers) && IsSameOrInside(path, folder);
}

bool IsProgramFiles(const wchar_t* path) {
    wchar_t folder[kFolderChars];
    if (!GetProgramFilesDir(folder, kPathChars) || TrimPathEnd(folder) == nullptr) {
        return false;
    }
    return PathsEqual(path, folder, true) ||
           (TextAppend(folder, kFolderChars, L"\\.") && PathsEqual(path, folder, true));
}

bool IsInstalledComponentFolder(const wchar_t* path) {
    Setup* setup = Setup::Get();
    if (setup == nullptr) {
        return false;
    }
    for (int i = 0; i < setup->products.count(); ++i) {
        Product* product = setup->products[i];
        wchar_t folder[kPathChars];
        if (product->IsSuiteShell() || !product->IsInstalled(1) ||
            !product->GetInstalledPath(folder, kPathChars, nullptr) || TrimPathEnd(folder) == nullptr) {
            continue;
        }
        if (PathsEqual(path, folder, true)) {
            return true;
        }
    }
    return false;
}

bool IsLongPrefix(const wchar_t* text) {
    return text[0] == L'\\' && text[1] == L'\\' && text[2] == L'?' && text[3] == L'\\';
}

int CheckDestination(const wchar_t* path, int checkComponents) {
    if (path == nullptr || TextLengthWithin(path, kDestinationPathLimit) >= kDestinationPathLimit) {
        return kDestinationTooLong;
    }
    const wchar_t* text = path;
    bool quoted = text[0] == L'"';
    if (quoted) {
        ++text;
        if (text[0] == L'\0') {
            return kDestinationMalformed;
        }
        if (text[0] == L'"') {
            return text[1] == L'\0' ? kDestinationEmpty : kDestinationMalformed;
        }
    }
    if (text[0] == L'\0') {
        return kDestinationEmpty;
    }

    const wchar_t* closing = nullptr;
    wchar_t drive[4] = {};
    bool network = false;
    bool longPrefix = false;
    bool percent = false;
    wchar_t previous = L'\0';
    int position = 0;
    for (const wchar_t* p = text; *p != L'\0'; p = CharNextW(p), ++position) {
        if (closing != nullptr) {
            return kDestinationMalformed;
        }
        wchar_t c = *p;
        switch (c) {
            case L'"':
                closing = p;
                break;
            case L'%':
                percent = true;
                break;
            case L'*':
            case L'/':
            case L';':
            case L'<':
            case L'>':
            case L'|':
                return kDestinationMalformed;
            case L':':
                if (!IsCharAlphaW(previous) || !(position == 1 || (position == 5 && IsLongPrefix(text)))) {
                    return kDestinationMalformed;
                }
                drive[0] = previous;
                drive[1] = L':';
                drive[2] = L'\\';
                network = false;
                break;
            case L'?':
                if (position != 2 || text[0] != L'\\' || text[1] != L'\\') {
                    return kDestinationMalformed;
                }
                break;
            case L'\\':
                if (previous == L'\\') {
                    if (position != 1) {
                        return kDestinationMalformed;
                    }
                    network = true;
                } else if (previous == L'?') {
                    longPrefix = true;
                }
                break;
            default:
                break;
        }
        previous = c;
    }
    if (quoted != (closing != nullptr)) {
        return kDestinationMalformed;
    }

    // The folder comparisons see the text inside the quotes, after any "\\?\", without a
    // trailing backslash or blank.
    wchar_t work[kDestinationPathLimit];
    size_t length = closing != nullptr ? static_cast<size_t>(closing - text) : wcslen(text);
    wmemcpy(work, text, length);
    work[length] = L'\0';
    wchar_t* folder = longPrefix ? work + 4 : work;
    if (TrimPathEnd(folder) == nullptr) {
        return kDestinationEmpty;
    }
    if (IsDriveRootPath(folder, drive[0], false)) {
        return kDestinationDriveRoot;
    }
    // A folder names one place only with its drive or server: "Tarnel" or "\Tarnel" would land
    // wherever the current folder happens to be.
    if (drive[0] == L'\0' && !network) {
        return kDestinationMalformed;
    }
    // Compared in the form Windows resolves: "C:\.\Windows", "C:\x\..\Windows" and "C:\Program
    // Files." would otherwise pass for other folders than the ones they name.
    wchar_t resolved[kDestinationPathLimit];
    DWORD resolvedLength =
        drive[0] == L'\0' ? 0 : GetFullPathNameW(folder, kDestinationPathLimit, resolved, nullptr);
    if (resolvedLength > 0 && resolvedLength < kDestinationPathLimit && TrimPathEnd(resolved) != nullptr) {
        folder = resolved;
    }
    if (IsDriveRootPath(folder, drive[0], false)) {
        return kDestinationDriveRoot;
    }

    wchar_t windows[kPathChars];
    if (GetWinDir(windows, kPathChars) && IsSameOrInside(folder, windows)) {
        return kDestinationWindows;
    }
    if (IsProgramFiles(folder)) {
        return kDestinationProgramFiles;
    }
    if (IsInsideDocuments(folder, true) || IsInsideDocuments(folder, false)) {
        return kDestinationDocuments;
    }
    if (network || (drive[0] != L'\0' && GetDriveTypeW(drive) != DRIVE_FIXED)) {
        return kDestinationNotLocal;
    }
    if (percent) {
        return kDestinationPercent;
    }
    if (checkComponents && IsInstalledComponentFolder(folder)) {
        return kDestinationComponent;
    }
    return kDestinationValid;
}

// Drops the quotes around a validated path (they close it, so the last char is one).
void RemoveQuotes(wchar_t* path) {
    size_t length = wcslen(path);
    if (length < 2 || path[0] != L'"') {
        return;
    }
    wmemmove(path, path + 1, length - 2);
    path[length - 2] = L'\0';
    TrimPathEnd(path);
}

// The string is data from a translated library: every "%s" takes the name and "%%" gives "%",
// other conversions stay as written, so a faulty translation cannot read missing arguments.
void FillName(wchar_t* buffer, size_t chars, const wchar_t* format, const wchar_t* name) {
    size_t used = 0;
    for (const wchar_t* p = format; *p != L'\0' && used + 1 < chars; ++p) {
        if (p[0] == L'%' && p[1] == L's') {
            for (const wchar_t* n = name; *n != L'\0' && used + 1 < chars; ++n) {
                buffer[used++] = *n;
            }
            ++p;
        } else {
            buffer[used++] = *p;
            if (p[0] == L'%' && p[1] == L'%') {
                ++p;
            }
        }
    }
    buffer[used] = L'\0';
}

void ReportInvalid(int kind, int code, const wchar_t* path) {
    ReportPart part = {kMsgInvalidFolder, path, 0};
    Logger::Get().Report(kind, kind, static_cast<unsigned>(code), 1, &part);
}

}  // namespace

int ValidateDestinationPath(const wchar_t* path, int checkComponents) {
    int result = CheckDestination(path, checkComponents);
    if (result != kDestinationValid) {
        ReportInvalid(kLogInformation, result, path != nullptr ? path : L"");
    }
    return result;
}

int DestinationChoice::Prepare() {
    TextClear(installedSuiteName, kPathChars);
    TextClear(chosenFolder, kPathChars);
    ProductMain& shell = ProductMain::Get();
    int generation = 0;
    shell.GetInstalledPath(installedFolder, kPathChars, &generation);
    bool sameEdition = installedFolder[0] != L'\0' && generation == shell.edition;
    if (sameEdition) {
        TextCopyCut(installedSuiteName, kPathChars, shell.GetDisplayName());
    }

    SetupOptions& options = SetupOptions::Get();
    if (options.destinationText()[0] != L'\0' && installedSuiteName[0] == L'\0') {
        wchar_t path[kPathChars];
        TextCopy(path, kPathChars, options.destinationText());
        if (Validate(nullptr, path, kPathChars) == 0) {
            TextCopy(chosenFolder, kPathChars, path);
            return 0;
        }
        // Unattended, nobody could type another folder into the dialog.
        bool silent = Logger::Get().GetDisplayLevel() == 0;
        ReportInvalid(silent ? kLogError : kLogInformation, ErrorInvalidDestination, path);
        return silent ? ErrorInvalidDestination : 0;
    }
    if (sameEdition) {
        TextCopy(chosenFolder, kPathChars, installedFolder);
        return 0;
    }
    wchar_t folder[kPathChars];
    if (!GetProgramFilesDir(folder, kPathChars)) {
        TextCopy(folder, kPathChars, L"C:\\Program Files");
    }
    wchar_t name[kMessageChars];
    shell.LoadProductString(kMsgSuiteFolderName, name, kMessageChars);
    if (EnsureTrailingChar(folder, kPathChars, L'\\') && TextAppend(folder, kPathChars, name)) {
        TextCopy(chosenFolder, kPathChars, folder);
    }
    return 0;
}

int DestinationChoice::Ask(HWND owner) {
    SetupOptions& options = SetupOptions::Get();
    if (Logger::Get().GetDisplayLevel() == 0 && chosenFolder[0] == L'\0') {
        ReportInvalid(kLogError, ErrorInvalidDestination, chosenFolder);
    } else if (options.destinationGiven && chosenFolder[0] != L'\0') {
        // The folder Prepare settled, which is the installed suite's when that fixes it.
        options.SetDestination(chosenFolder);
        return 0;
    }
    INT_PTR result = Framework::Get().DialogBox(kFrameworkSel, kDialogDestination, owner, DialogProc,
                                                reinterpret_cast<LPARAM>(this), kFrameworkDialogFlags);
    return result > 0 ? 0 : ErrorCancelled;
}

int DestinationChoice::Validate(HWND dialog, wchar_t* buffer, size_t chars) {
    if (buffer == nullptr || chars == 0) {
        return ErrorInvalidDestination;
    }
    if (dialog != nullptr) {
        // The field takes at most kPathChars - 1 chars, so the text is never cut here.
        GetDlgItemTextW(dialog, kPathItem, buffer, static_cast<int>(chars));
    }
    TrimPathEnd(buffer);
    if (ValidateDestinationPath(buffer, installedSuiteName[0] == L'\0') != kDestinationValid) {
        return ErrorInvalidDestination;
    }
    RemoveQuotes(buffer);
    return 0;
}

void DestinationChoice::InitDialog(HWND dialog) {
    SendDlgItemMessageW(dialog, kLabelItem, kFrameworkSetTextStyle, 0, kTextStyleNormal);
    SendDlgItemMessageW(dialog, kExplanationItem, kFrameworkSetTextStyle, 0, kTextStyleNormal);
    SendDlgItemMessageW(dialog, kPathItem, EM_SETLIMITTEXT, kPathChars - 1, 0);
    SetDlgItemTextW(dialog, kPathItem, chosenFolder);
    if (installedSuiteName[0] != L'\0') {
        wchar_t format[kFixedFolderChars];
        if (LoadResourceString(nullptr, kMsgFixedFolder, format, kFixedFolderChars) != 0) {
            wchar_t text[kMessageChars];
            FillName(text, kMessageChars, format, installedSuiteName);
            SetDlgItemTextW(dialog, kExplanationItem, text);
        }
        SendDlgItemMessageW(dialog, kPathItem, EM_SETREADONLY, TRUE, 0);
        EnableWindow(GetDlgItem(dialog, kBrowseItem), FALSE);
    }
    if (!ProductMain::Get().shellNeeded) {
        wchar_t caption[kButtonChars];
        if (LoadResourceString(nullptr, kMsgInstallButton, caption, kButtonChars) != 0) {
            SetDlgItemTextW(dialog, IDOK, caption);
        }
    }
}

void DestinationChoice::Confirm(HWND dialog) {
    wchar_t path[kPathChars];
    if (Validate(dialog, path, kPathChars) != 0) {
        ReportPart parts[] = {{kMsgInvalidFolder, path, 2}, {kMsgFolderAdvice, nullptr, 0}};
        Logger::Get().Report(kLogNone, kLogError, 0, 2, parts);
        return;
    }
    TextCopy(chosenFolder, kPathChars, path);
    SetupOptions::Get().SetDestination(path);
    EndDialog(dialog, 1);
}

void DestinationChoice::Browse(HWND dialog) {
    wchar_t title[kPickerTitleChars];
    LoadResourceString(nullptr, kMsgPickerTitle, title, kPickerTitleChars);
    // The picker opens at the folder the field names, when that exists.
    wchar_t folder[kPathChars];
    GetDlgItemTextW(dialog, kPathItem, folder, kPathChars);
    if (Framework::Get().ShowFolderPicker(dialog, folder, kPathChars, title) == 0) {
        SetDlgItemTextW(dialog, kPathItem, folder);
    }
}

INT_PTR CALLBACK DestinationChoice::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<DestinationChoice*>(lParam)->InitDialog(dialog);
        return TRUE;
    }
    DestinationChoice* choice = reinterpret_cast<DestinationChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || choice == nullptr) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
        case IDOK:
            choice->Confirm(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case kBrowseItem:
            choice->Browse(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}
