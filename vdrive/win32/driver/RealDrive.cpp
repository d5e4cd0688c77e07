#include "RealDrive.h"

#include "../link/Control.h"

namespace {

int readMachineText(const char* name, char text[MAX_PATH]) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int read = readTextValue(key, name, text, MAX_PATH);
    RegCloseKey(key);
    return read && text[0];
}

} // namespace

void replacedDriver(char name[MAX_PATH]) {
    if (!readMachineText(kReplacedMci32, name) && !readMachineText(kReplacedSystemIni, name))
        lstrcpynA(name, kSystemDriver, MAX_PATH);
}

int virtualDriveHoldsImage() {
    return readControlMedia() != 0;
}

int namesRealCdDrive(const wchar_t* element) {
    if (!element || !element[0] || element[1] != L':' || (element[2] && (element[2] != L'\\' || element[3])))
        return 0;
    wchar_t root[4] = {element[0], L':', L'\\', 0};
    return GetDriveTypeW(root) == DRIVE_CDROM;
}
