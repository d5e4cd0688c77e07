// Scope guards for the handles one operation takes: each is released when
// the operation leaves the block, on every path.
#pragma once

#include <windows.h>

struct WindowContext {
    HWND window;
    HDC context;
    explicit WindowContext(HWND w) : window(w), context(GetDC(w)) {}
    ~WindowContext() { ReleaseDC(window, context); }
};

struct MemoryContext {
    HDC context;
    explicit MemoryContext(HDC compatibleWith) : context(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryContext() { DeleteDC(context); }
};

// A drawing object created for one operation and selected into a context;
// the context gets its old object back before this one is deleted.
struct SelectedObject {
    HDC context;
    HGDIOBJ object;
    HGDIOBJ previous;
    SelectedObject(HDC c, HGDIOBJ o) : context(c), object(o), previous(SelectObject(c, o)) {}
    ~SelectedObject() {
        SelectObject(context, previous);
        DeleteObject(object);
    }
};

// A stock object selected for one operation: put back, never deleted.
struct SelectedStock {
    HDC context;
    HGDIOBJ previous;
    SelectedStock(HDC c, int stockObject) : context(c), previous(SelectObject(c, GetStockObject(stockObject))) {}
    ~SelectedStock() { SelectObject(context, previous); }
};

struct RegistryKey {
    HKEY key;
    RegistryKey() : key(0) {}
    ~RegistryKey() {
        if (key)
            RegCloseKey(key);
    }
};

// A menu built for one operation; destroying it destroys its submenus.
struct OwnedMenu {
    HMENU menu;
    explicit OwnedMenu(HMENU m) : menu(m) {}
    ~OwnedMenu() { DestroyMenu(menu); }
};
