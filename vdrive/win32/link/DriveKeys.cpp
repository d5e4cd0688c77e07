#include "DriveKeys.h"

namespace {

const char kDrovixKey[] = "Software\\Drovix";
const char kDrovixChild[] = "Drovix";
const char kVirtualDriveChild[] = "VirtualDrive";
const char kSoftwareKey[] = "Software";

// The child of an open key deleted where it has neither keys nor values.
// Through the parent's handle the child lies in the parent's view: RegDeleteKey
// itself would take the program's own.
void deleteEmptyChild(HKEY parent, const char* child) {
    HKEY key;
    if (RegOpenKeyExA(parent, child, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1, values = 1;
    LONG asked = RegQueryInfoKeyA(key, 0, 0, 0, &subkeys, 0, 0, &values, 0, 0, 0, 0);
    RegCloseKey(key);
    if (asked == ERROR_SUCCESS && !subkeys && !values)
        RegDeleteKeyA(parent, child);
}

void deleteEmptyChildOf(HKEY root, const char* parentName, const char* child, REGSAM view) {
    HKEY parent;
    if (RegOpenKeyExA(root, parentName, 0, KEY_READ | view, &parent) != ERROR_SUCCESS)
        return;
    deleteEmptyChild(parent, child);
    RegCloseKey(parent);
}

} // namespace

int32_t driveInstalledIn(REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMci32Key, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return 0;
    char driver[MAX_PATH] = {};
    DWORD size = sizeof driver - 1, type = 0;
    LONG read = RegQueryValueExA(key, kCdAudioValue, 0, &type, (BYTE*)driver, &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && lstrcmpiA(driver, kDriverFile) == 0;
}

void deleteEmptyDriveKeys(HKEY root, REGSAM view) {
    deleteEmptyChildOf(root, kDrovixKey, kVirtualDriveChild, view);
    deleteEmptyChildOf(root, kSoftwareKey, kDrovixChild, view);
}
