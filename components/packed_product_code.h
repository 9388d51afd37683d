// Windows Installer's packed form of a product code: the name it gives the product's keys under
// "SOFTWARE\Classes\Installer\Products" and "...\Features".
#pragma once
#include <stddef.h>
#include <wchar.h>

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces required, hex digits in either case) to its 32
// upper-case hex digits: each of the first three groups reversed, then every following pair of
// digits swapped. `packed` needs 33 chars. False, and `packed` cleared, for anything else.
bool PackProductCode(const wchar_t* code, wchar_t* packed, size_t chars);
