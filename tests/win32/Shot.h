// A window's face as it is on screen, top row first, kept as a test
// artefact when asked.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "Programs.h"

struct Shot {
    int width, height;
    std::vector<uint32_t> pixels;

    // The client area, or the whole window with its frame and caption.
    explicit Shot(HWND window, bool wholeWindow = false) {
        RECT area;
        POINT origin = {0, 0};
        if (wholeWindow) {
            GetWindowRect(window, &area);
            origin.x = area.left;
            origin.y = area.top;
        } else {
            GetClientRect(window, &area);
        }
        width = area.right - area.left;
        height = area.bottom - area.top;
        pixels.resize((size_t)width * height);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits;
        HWND from = wholeWindow ? 0 : window;
        HDC screen = GetDC(from);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, 0, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        memcpy(pixels.data(), bits, pixels.size() * 4);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(from, screen);
    }

    // 0xRRGGBB
    uint32_t at(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }

    bool anyIn(int left, int top, int right, int bottom, uint32_t colour) const {
        for (int y = top; y < bottom; y++)
            for (int x = left; x < right; x++)
                if (at(x, y) == colour)
                    return true;
        return false;
    }

    // Kept as a test artefact beside the test program; those of a system
    // whose code page is not Shift-JIS apart, to be compared with these.
    void save(const char* name) const {
        std::string folder = testFolder() + "artifacts";
        if (GetACP() != 932)
            folder += "-cp" + std::to_string(GetACP());
        CreateDirectoryA(folder.c_str(), 0);
        std::string path = folder + "\\" + name;
        BITMAPFILEHEADER file = {};
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = -height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof header;
        file.bfSize = file.bfOffBits + (DWORD)pixels.size() * 4;
        FILE* out = fopen(path.c_str(), "wb");
        ASSERT_TRUE(out);
        fwrite(&file, sizeof file, 1, out);
        fwrite(&header, sizeof header, 1, out);
        // Opaque: the screen's pixels come with an alpha of 0, which viewers
        // show as a white picture.
        std::vector<uint32_t> opaque(pixels);
        for (uint32_t& pixel : opaque)
            pixel |= 0xFF000000;
        fwrite(opaque.data(), 4, opaque.size(), out);
        fclose(out);
    }
};
