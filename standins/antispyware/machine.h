// Registry, file and process helpers of the anti-spam and anti-spyware stand-ins. Registry
// work is under HKEY_LOCAL_MACHINE; failures give false or an empty text and change nothing else.
#pragma once
#include <windows.h>

#include <string>

namespace aspm {

bool WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& value);
bool WriteDword(const std::wstring& key, const wchar_t* name, DWORD value);
// Empty when the value is missing or not text.
std::wstring ReadString(const std::wstring& key, const wchar_t* name);
bool KeyExists(const std::wstring& key);
void DeleteValue(const std::wstring& key, const wchar_t* name);
// The key with everything below it.
void DeleteKeyTree(const std::wstring& key);
// The key when it has neither values nor sub keys.
void DeleteKeyIfEmpty(const std::wstring& key);

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateFolderPath(const std::wstring& folder);
bool FileExists(const std::wstring& path);
std::wstring ModulePath();
std::wstring ModuleFolder();
std::wstring CurrentFolder();
// A shell folder (CSIDL_...), empty when unknown.
std::wstring ShellFolder(int csidl);

// Writes the RCDATA resource `name` of this program to `path`, replacing the file.
bool ExtractResource(const wchar_t* name, const std::wstring& path);
// A shell link at `linkPath` to `target`.
bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target);
// Starts a command line without waiting for it.
bool StartProcess(const std::wstring& commandLine);

}  // namespace aspm
