// Drawing the main window: the frame, the text areas, the skin buttons and
// the display-mode glyphs. Every drawing object lives for one operation.
#include "PlayerWindow.h"

#include <string.h>

#include "../common/FontFit.h"
#include "../common/Text.h"
#include "../engine/DiscEngine.h"
#include "ButtonTable.h"
#include "Handles.h"
#include "res/resource.h"

namespace {

const COLORREF kFaceGrey = RGB(192, 192, 192);
const COLORREF kDarkGrey = RGB(128, 128, 128);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

const RECT kAreaRects[3] = {
    {11, 31, 285, 43},  // title line
    {11, 49, 285, 61},  // track line
    {251, 72, 287, 84}, // clock
};
const UINT kAreaAlignment[3] = {DT_CENTER, DT_CENTER, DT_RIGHT};

const RECT kGlyphBox = {221, 68, 250, 86};
const int kGlyphWidth = 26, kGlyphHeight = 5;
const int kGlyphSrcX = 270, kGlyphEachY = 0, kGlyphTotalY = 6, kGlyphRemainY = 12;

HPEN solidPen(COLORREF colour) { return CreatePen(PS_SOLID, 1, colour); }

// The skin as the resource holds it, 16 colours: made several times for one
// paint, it costs a fraction of a bitmap in the display's format, and copies
// the same pixels.
HBITMAP loadSkin(HINSTANCE instance) {
    return (HBITMAP)LoadImageA(instance, MAKEINTRESOURCEA(IDB_SKIN), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
}

struct Point {
    int x, y;
};

// A line through the given points, each segment without its end pixel.
void polyline(HDC context, const Point* points, int count) {
    MoveToEx(context, points[0].x, points[0].y, 0);
    for (int i = 1; i < count; i++)
        LineTo(context, points[i].x, points[i].y);
}

// The face's font: "MS UI Gothic" where the clock's widest text fits its box
// in it, else a Japanese UI font in which it does (decided once). The clock
// shows minutes and seconds ("%2d：%02d"): all digits are alike wide.
const char kFaceFont[] = "MS UI Gothic";
const int32_t kFaceFontHeight = -13;
char chosenFace[kFaceNameSize];
int32_t chosenHeight;

} // namespace

HFONT PlayerWindow::createFaceFont() {
    if (!chosenFace[0]) {
        int32_t room = kAreaRects[kAreaClock].right - kAreaRects[kAreaClock].left;
        const FitText clock = {"00：00", room};
        chooseFittingFont(kFaceFont, kFaceFontHeight, &clock, 1, chosenFace, &chosenHeight);
    }
    return createJapaneseFont(chosenFace, chosenHeight);
}

int32_t PlayerWindow::paint(HDC context) {
    {
        SelectedObject pen(context, solidPen(kFaceGrey));
        SelectedObject brush(context, CreateSolidBrush(kFaceGrey));
        Rectangle(context, 0, 0, kWindowWidth, kWindowHeight);
    }
    SelectedStock hollow(context, HOLLOW_BRUSH);
    {
        SelectedObject pen(context, solidPen(kBlack));
        Rectangle(context, 0, 0, kWindowWidth, kWindowHeight);
    }
    {
        SelectedObject pen(context, solidPen(kDarkGrey));
        Rectangle(context, 1, 1, 295, 93);
        Rectangle(context, 7, 7, 258, 20);
        const Point panelRightEdge[] = {{7, 24}, {288, 24}, {288, 87}};
        polyline(context, panelRightEdge, 3);
    }
    {
        SelectedObject pen(context, solidPen(kWhite));
        const Point stripLowerEdge[] = {{7, 7}, {7, 19}, {257, 19}};
        const Point panelLowerEdge[] = {{7, 25}, {7, 68}, {220, 68}, {220, 87}, {289, 87}};
        const Point outerLightEdge[] = {{1, 91}, {1, 1}, {294, 1}};
        polyline(context, stripLowerEdge, 3);
        polyline(context, panelLowerEdge, 5);
        polyline(context, outerLightEdge, 3);
    }
    drawText(kAreaTitleLine, 0);
    drawText(kAreaTrackLine, 0);
    drawText(kAreaClock, 0);
    drawModeGlyphs();
    return 1;
}

char* PlayerWindow::shownText(TextArea area, int32_t* store) {
    switch (area) {
    case kAreaTitleLine:
        *store = sizeof shownTitleLine;
        return shownTitleLine;
    case kAreaTrackLine:
        *store = sizeof shownTrackLine;
        return shownTrackLine;
    case kAreaClock:
        *store = sizeof shownClock;
        return shownClock;
    case kAreaCaption:
        break;
    }
    *store = sizeof shownCaption;
    return shownCaption;
}

int32_t PlayerWindow::drawText(TextArea area, const char* text) {
    int32_t store;
    char* shown = shownText(area, &store);
    if (text) {
        if (strcmp(text, shown) == 0)
            return 0;
        lstrcpynA(shown, text, store);
    }
    if (area == kAreaCaption) {
        setWindowText(window, shown);
        return 1;
    }
    WindowContext windowContext(window);
    HDC context = windowContext.context;
    RECT place = kAreaRects[area];
    FillRect(context, &place, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    // An empty area needs no font: the first paint, before the drive has
    // answered, chooses none.
    if (!shown[0])
        return 1;
    SelectedObject font(context, createFaceFont());
    SetTextColor(context, kBlack);
    SetBkMode(context, TRANSPARENT);
    // Names are shown as typed: an "&" in them marks no mnemonic.
    ::drawText(context, shown, &place, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | kAreaAlignment[area]);
    return 1;
}

int32_t PlayerWindow::blitSkin(int32_t srcX, int32_t srcY, int32_t width, int32_t height, int32_t destX,
                               int32_t destY) {
    WindowContext windowContext(window);
    MemoryContext skin(windowContext.context);
    SelectedObject bitmap(skin.context, loadSkin(moduleInstance));
    BitBlt(windowContext.context, destX, destY, width, height, skin.context, srcX, srcY, SRCCOPY);
    return 1;
}

int32_t PlayerWindow::drawButton(const DRAWITEMSTRUCT* item) {
    int row = (int)item->CtlID - IDC_EJECT;
    if (item->CtlID == IDC_REPEAT && discEngine.repeatMode() != 0)
        row = kRepeatLitRow;
    else if (item->CtlID == IDC_RANDOM && discEngine.randomMode() != 0)
        row = kRandomLitRow;
    if (row < 0 || row >= 12)
        return 1;
    const ButtonRow& button = kButtonTable[row];
    int normal = item->itemAction == ODA_DRAWENTIRE || item->itemState == ODS_FOCUS;
    MemoryContext skin(item->hDC);
    SelectedObject bitmap(skin.context, loadSkin(moduleInstance));
    BitBlt(item->hDC, 0, 0, button.width, button.height, skin.context, button.srcX,
           normal ? button.srcY : button.pressedSrcY, SRCCOPY);
    return 1;
}

int32_t PlayerWindow::drawModeGlyphs() {
    {
        WindowContext windowContext(window);
        FillRect(windowContext.context, &kGlyphBox, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    }
    uint32_t mode = discEngine.displayMode();
    int total = mode == kDisplayTotal || mode == kDisplayTotalRemain;
    int remain = mode == kDisplayEachRemain || mode == kDisplayTotalRemain;
    blitSkin(kGlyphSrcX, total ? kGlyphTotalY : kGlyphEachY, kGlyphWidth, kGlyphHeight, 224, 72);
    if (remain)
        blitSkin(kGlyphSrcX, kGlyphRemainY, kGlyphWidth, kGlyphHeight, 224, 80);
    return 1;
}
