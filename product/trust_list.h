// The firewall engine's list of trusted programs, reached only through the engine's library
// "vspubapi.dll" in the system folder. Each program update loads the library, connects, finds or
// creates the program's entry and merges its permissions, then lets everything go again.
#pragma once
#include "product/product.h"

// Result codes of one program update (logged only, never a run's result).
enum TrustListResult {
    kTrustListDone = 0,
    kTrustListNoLibrary = 1,
    kTrustListNoEntryPoint = 2,
    kTrustListNoConnection = 3,  // initialisation failed (twice, with retryInit)
    kTrustListNoList = 4,
    kTrustListNoProperties = 5,  // the properties of some entry could not be read
    kTrustListNotDeleted = 6,
    kTrustListNotCreated = 7,
    kTrustListNoPermissions = 8,
    kTrustListPermissionsNotSet = 9,
};

// Adds the program at `path` to the list with the permissions of `row`. A program file that does
// not exist is left alone (0). With `removeFirst` an existing entry is deleted and made anew;
// otherwise its permissions are read and the row's merged in: a row value 2 sets its field to 1,
// a value 3 sets it to 2 when it is 0, any other value leaves it. `retryInit` tries the
// connection a second time with the engine's other flags. One of TrustListResult.
int RegisterTrustedProgram(const wchar_t* path, int removeFirst, int retryInit, const TrustedProgram& row);
