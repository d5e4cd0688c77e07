#include "PlayerTest.h"

#include "../../engine/DiscEngine.h"
#include "Modal.h"

HWND createMainWindow() { return createDialogAsShown(IDD_MAIN, 0, handleMessage); }

void deleteSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey); }

void storeBytes(const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0));
    RegSetValueExA(key, name, 0, type, (const BYTE*)bytes, size);
    RegCloseKey(key);
}

void storeDword(const char* name, DWORD value) { storeBytes(name, REG_DWORD, &value, sizeof value); }

void storeText(const char* name, const std::string& text) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0));
    setRegistryText(key, name, text);
    RegCloseKey(key);
}

bool storedDword(const char* name, DWORD* value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof *value;
    LONG result = RegQueryValueExA(key, name, 0, &type, (BYTE*)value, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD && size == 4;
}

DWORD storedValueCount() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD values = 0;
    RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, &values, 0, 0, 0, 0);
    RegCloseKey(key);
    return values;
}

void Player::SetUp() {
    modalSteps().clear();
    deleteSettings();
    sim.reset();
    sim.setDisc({185, 240, 61});
    discEngine = DiscEngine();
    playerWindow = PlayerWindow();
}

void Player::TearDown() {
    if (window)
        finish();
    deleteSettings();
}

void Player::start(const char* arguments, DWORD settleMs) {
    lstrcpynA(commandLine, arguments, sizeof commandLine);
    playerWindow.commandLine = commandLine;
    window = createMainWindow();
    ASSERT_TRUE(window);
    pumpMessages(settleMs);
}

void Player::finish() {
    DestroyWindow(window);
    window = 0;
    pumpMessages(20);
}

void Player::timerTick() { SendMessageA((HWND)discEngine.notifyWindow, WM_TIMER, kEngineTimerId, 0); }

void Player::pressButton(int id) { SendMessageA(window, WM_COMMAND, id, (LPARAM)GetDlgItem(window, id)); }
