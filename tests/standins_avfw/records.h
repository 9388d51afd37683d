// What the stand-ins write down (standins/common/standin.h), read back, and their switches set.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace avfw {

// One call of a stand-in: its "key: value" lines in order (keys may repeat).
using RecordEntry = std::vector<std::pair<std::string, std::string>>;

// Points the stand-ins' records at a fresh folder for its lifetime (children inherit it); the
// folder before it counts again afterwards.
class RecordFolder {
  public:
    RecordFolder();
    ~RecordFolder();
    std::vector<RecordEntry> Read(const std::wstring& program) const;

  private:
    std::wstring path_;
    std::wstring previous_;
    bool hadPrevious_ = false;
};

// The value of the first line with `key`; empty when there is none.
std::string ValueOf(const RecordEntry& entry, const std::string& key);
// The values of `key` in every entry, in order.
std::vector<std::string> ValuesOf(const std::vector<RecordEntry>& entries, const std::string& key);

// Stand-in switches (HKLM\SOFTWARE\OvStandins\<program>); the keys of the programs it set are
// removed at destruction.
class Switches {
  public:
    ~Switches();
    void Set(const std::wstring& program, const std::wstring& name, DWORD value);
    void Set(const std::wstring& program, const std::wstring& name, const std::wstring& value);

  private:
    std::vector<std::wstring> programs_;
};

// Registry helpers for HKLM.
bool KeyExists(const std::wstring& key);
bool ValueExists(const std::wstring& key, const std::wstring& name);
std::wstring ReadString(const std::wstring& key, const std::wstring& name);  // empty when absent
DWORD ReadDword(const std::wstring& key, const std::wstring& name, DWORD fallback);

std::wstring Quoted(const std::wstring& path);
std::wstring FileVersionOf(const std::wstring& path);  // "a.b.c.d"
std::wstring WindowsFolder();
std::wstring SystemFolder();

}  // namespace avfw
