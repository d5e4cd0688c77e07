// The settings tool's entry: one running copy at a time, the settings
// dialog with no owner, exit 0.
#include <windows.h>

#include <commctrl.h>

#include "../common/SingleInstance.h"
#include "../common/Text.h"
#include "SettingsTool.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    SingleInstance instanceMarker = {};
    if (!instanceMarker.claim(kToolAtom, kToolRunning))
        return 0;
    InitCommonControls();
    settingsTool.moduleInstance = instance;
    if (commandLine && lstrcmpiA(commandLine, "/uninstall") == 0)
        return settingsTool.uninstall(0);
    dialogBox(instance, IDD_SETTINGS, 0, settingsDialogProc);
    return 0;
}
