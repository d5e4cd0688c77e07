// The virtual drive's names in the registry and on disk, for everything that
// reads or removes them: the drive in each program, its host, vdrivectl and
// the settings tool's /uninstall. Read only here, so that an install, a
// removal and the question "is it installed" always mean the same keys.
#pragma once

#include <windows.h>

#include <stdint.h>

// The drive's own file, under its own name so that no program loads it
// unless it is installed; also its name as the "cdaudio" driver.
const char kDriverFile[] = "drovixcd.dll";
// The driver that Windows and Wine ship for "cdaudio".
const char kSystemDriver[] = "mcicda.dll";

// Where Windows reads the MCI drivers, for the machine (HKEY_LOCAL_MACHINE),
// and the value of the "cdaudio" one.
const char kMci32Key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\MCI32";
const char kCdAudioValue[] = "cdaudio";

// Where vdrivectl install keeps the drivers it replaced, for the machine
// (HKEY_LOCAL_MACHINE, in each registry view the drive is installed in).
const char kInstallKey[] = "SOFTWARE\\Drovix\\VirtualDrive";
const char kReplacedMci32[] = "ReplacedMci32";
const char kReplacedSystemIni[] = "ReplacedSystemIni";

// The user's control of the drive (HKEY_CURRENT_USER): which disc it holds
// and where it logs (the values are told in Control.h).
const char kControlKey[] = "Software\\Drovix\\VirtualDrive";
const char kControlImage[] = "Image";
const wchar_t kControlImageWide[] = L"Image";
const char kControlMedia[] = "Media";
const char kControlSpeed[] = "Speed";
const char kControlLog[] = "Log";
const char kControlState[] = "State";
const char kControlDoor[] = "Door";

// Whether the drive is the "cdaudio" driver where Windows reads it, in the
// registry view given (0 for the program's own, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY).
int32_t driveInstalledIn(REGSAM view);
// Software\Drovix\VirtualDrive and then Software\Drovix, each only where it
// holds nothing: a removal leaves no empty key of Drovix's own, and another
// program's keys beside them stay. Removed in the view given, which must
// allow deleting them (an administrator's, for HKEY_LOCAL_MACHINE).
void deleteEmptyDriveKeys(HKEY root, REGSAM view);
