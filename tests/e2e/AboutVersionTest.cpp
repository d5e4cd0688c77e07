// The About box of the real player when its version information lacks a
// part: a copy of Drovix.exe is given another version block, or none, and
// shows the texts of its dialog where a value is missing.
#include <vector>

#include "EndToEnd.h"

namespace {

// A node of a version block: key, value and children, each 32-bit aligned.
struct VersionNode {
    std::wstring key;
    std::vector<BYTE> value;
    bool text;
    std::vector<VersionNode> children;
};

void align(std::vector<BYTE>* bytes) {
    while (bytes->size() % 4)
        bytes->push_back(0);
}

std::vector<BYTE> encode(const VersionNode& node) {
    std::vector<BYTE> bytes(6, 0);
    const BYTE* key = (const BYTE*)node.key.c_str();
    bytes.insert(bytes.end(), key, key + (node.key.size() + 1) * 2);
    align(&bytes);
    if (!node.value.empty())
        bytes.insert(bytes.end(), node.value.begin(), node.value.end());
    align(&bytes);
    for (const VersionNode& child : node.children) {
        std::vector<BYTE> encoded = encode(child);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        align(&bytes);
    }
    WORD length = (WORD)bytes.size();
    WORD valueLength = (WORD)(node.text ? node.value.size() / 2 : node.value.size());
    WORD type = node.text ? 1 : 0;
    memcpy(&bytes[0], &length, 2);
    memcpy(&bytes[2], &valueLength, 2);
    memcpy(&bytes[4], &type, 2);
    return bytes;
}

VersionNode textValue(const std::wstring& key, const std::wstring& value) {
    const BYTE* bytes = (const BYTE*)value.c_str();
    return {key, std::vector<BYTE>(bytes, bytes + (value.size() + 1) * 2), true, {}};
}

std::vector<BYTE> versionBlock(bool translation, bool copyright) {
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x10000;
    VersionNode table = {L"041104B0", {}, true, {textValue(L"ProductName", L"Other Player")}};
    if (copyright)
        table.children.push_back(textValue(L"LegalCopyright", L"(C) Someone"));
    VersionNode root = {L"VS_VERSION_INFO",
                        std::vector<BYTE>((BYTE*)&fixed, (BYTE*)&fixed + sizeof fixed),
                        false,
                        {{L"StringFileInfo", {}, true, {table}}}};
    if (translation) {
        DWORD japanese = 0x04B00411;
        root.children.push_back(
            {L"VarFileInfo", {}, true, {{L"Translation", std::vector<BYTE>((BYTE*)&japanese, (BYTE*)&japanese + 4), false, {}}}});
    }
    return encode(root);
}

BOOL CALLBACK firstLanguage(HMODULE, LPCSTR, LPCSTR, WORD found, LONG_PTR param) {
    *(WORD*)param = found;
    return FALSE;
}

// A copy of the player with another version block.
bool makeCopy(const std::string& path, const std::vector<BYTE>& block) {
    if (!CopyFileA((programFolder() + "Drovix.exe").c_str(), path.c_str(), FALSE))
        return false;
    // Replaced in the language it is stored in.
    WORD language = 0;
    HMODULE image = LoadLibraryExA(path.c_str(), 0, LOAD_LIBRARY_AS_DATAFILE);
    if (!image)
        return false;
    EnumResourceLanguagesA(image, (LPCSTR)RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO), firstLanguage,
                           (LONG_PTR)&language);
    FreeLibrary(image);
    HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
    if (!update)
        return false;
    UpdateResourceA(update, (LPCSTR)RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO), language,
                    (void*)block.data(), (DWORD)block.size());
    return EndUpdateResourceA(update, FALSE) != 0;
}

std::string textOf(HWND control) { return caption(control); }

} // namespace

TEST(EndToEnd, TheAboutBoxKeepsItsOwnTextsWhereTheVersionInformationLacksAValue) {
    struct Row {
        const char* what;
        bool translation, copyright;
        const char* product;
        const char* copyrightLine;
    } rows[] = {
        {"no translation", false, true, "ProductName", "LegalCopyright"},
        {"no copyright", true, false, "Other Player", "LegalCopyright"},
        {"both", true, true, "Other Player", "(C) Someone"},
    };
    prepareDrive(1);
    std::string copy = programFolder() + "Drovix-version.exe";
    for (const Row& row : rows) {
        ASSERT_TRUE(makeCopy(copy, versionBlock(row.translation, row.copyright))) << row.what;
        PROCESS_INFORMATION player = startProgram("Drovix-version.exe", "");
        ASSERT_TRUE(player.hProcess);
        HWND window = waitForWindowOf(player.dwProcessId, "#32770", 5000);
        ASSERT_TRUE(window);
        PostMessageA(window, WM_COMMAND, IDC_ABOUT, 0);
        HWND about = waitForOwnedDialog(window, 5000);
        ASSERT_TRUE(about) << row.what;
        EXPECT_EQ(row.product, textOf(GetDlgItem(about, IDC_PRODUCT_NAME))) << row.what;
        EXPECT_EQ(row.copyrightLine, textOf(GetDlgItem(about, IDC_COPYRIGHT))) << row.what;
        PostMessageA(GetDlgItem(about, IDC_OK), BM_CLICK, 0, 0);
        EXPECT_EQ(0u, closePlayer(window, &player)) << row.what;
    }
    DeleteFileA(copy.c_str());
    forgetSettingsAndDrive();
}
