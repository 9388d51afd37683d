// The process-wide options record: the role from the program's file name, then the
// command line's switches and values. Filled once before the log opens; afterwards only
// read, except the group and destination, which the install role settles while it asks.
#pragma once
#include <stddef.h>

#include "host/text.h"

enum SetupRole {
    kRoleInstall = 1,
    kRoleUninstall = 2,
    kRoleCleanup = 3,
    kRoleTrustList = 4,
};

class SetupOptions {
  public:
    static SetupOptions& Get();

    // Splits the ANSI command line (the text after the program name) into at most 256
    // arguments and applies the options it names; hands the requested levels to the log.
    // Never fails; always 0.
    int Parse(const char* commandLine);
    // The same for a command line already in UTF-16.
    int ParseWide(const wchar_t* commandLine);

    // Copies of the texts (exact; false and an empty buffer when they do not fit).
    bool GetDestination(wchar_t* buffer, size_t chars) const;
    void SetDestination(const wchar_t* text);
    bool GetGroup(wchar_t* buffer, size_t chars) const;
    void SetGroup(const wchar_t* text);
    const wchar_t* destinationText() const { return destination; }
    const wchar_t* groupText() const { return group; }

    // The role a program of this file name plays without switches.
    static int RoleFromFileName(const wchar_t* fileName);
    // Back to the state of a fresh process (role from the file name, defaults). For tests.
    void Reset();

    int role;
    int displayLevel;  // -1: not given
    int logLevel;      // -1: not given
    int destinationGiven;
    int scan;
    int updateFromWeb;
    int updateFirewall;
    int productCheck;
    int uninstallInfo;
    int createProgramGroup;

  private:
    SetupOptions();
    void Apply(const wchar_t* argument);

    wchar_t destination[kPathChars];
    wchar_t group[kPathChars];
};
