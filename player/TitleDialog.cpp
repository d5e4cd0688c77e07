// The track title dialog: the disc's title, artist and track names, typed
// with Enter moving from field to field and from track to track. The list
// holds the names while the dialog is open; the titles change only on OK.
#include "PlayerWindow.h"

#include <commctrl.h>
#include <string.h>

#include "../common/FontFit.h"
#include "../common/Text.h"
#include "../engine/DiscEngine.h"
#include "Texts.h"
#include "res/resource.h"

namespace {

const int kTypingLimit = 50;
const int kLabelStore = 32;
const int kControlText = 512;

const int kTypedFields[] = {IDC_TITLE_EDIT, IDC_ARTIST_EDIT, IDC_TRACK_EDIT};
// Without a disc there is nothing to name: the edits, the list, the labels
// and the group box are disabled.
const int kNamingControls[] = {IDC_ARTIST_EDIT, IDC_TITLE_EDIT,   IDC_TRACK_EDIT,  IDC_TRACK_LIST,
                               IDC_TITLE_LABEL, IDC_ARTIST_LABEL, IDC_TITLE_GROUP, IDC_TRACK_LABEL};

// The list item whose name the track edit holds: the one source of truth
// for the track being edited, kept selected in the list.
int32_t editedTrackIndex;
// The disc the dialog was filled for: names typed for it are never stored
// under another disc, nor under one inserted while the dialog was open.
char filledForDisc[kDiscIdSize];

LRESULT sendToList(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageA(dialog, IDC_TRACK_LIST, message, wParam, lParam);
}

void focusAndSelectAll(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

// The list item's text; empty when there is no such item or it is longer
// than anything the dialog's edits let through.
void listItemText(HWND dialog, int32_t index, char text[kControlText]) {
    listItem(GetDlgItem(dialog, IDC_TRACK_LIST), index, text, kControlText);
}

// The track edit's text becomes the edited track's list item, which stays
// selected.
void storeEditedName(HWND dialog) {
    if (editedTrackIndex >= (int32_t)sendToList(dialog, LB_GETCOUNT, 0, 0))
        return;
    char text[kControlText] = {};
    itemText(dialog, IDC_TRACK_EDIT, text, kControlText);
    sendToList(dialog, LB_DELETESTRING, editedTrackIndex, 0);
    addListItem(GetDlgItem(dialog, IDC_TRACK_LIST), editedTrackIndex, text);
    sendToList(dialog, LB_SETCURSEL, editedTrackIndex, 0);
}

// The name being edited is stored in its own track first; then the selected
// track is loaded into the edit. The selection is taken before the store,
// which replaces the edited item and with it a selection that stood there.
void selectionChanged(HWND dialog) {
    LRESULT selection = sendToList(dialog, LB_GETCURSEL, 0, 0);
    storeEditedName(dialog);
    int32_t track = selection == LB_ERR ? (int32_t)sendToList(dialog, LB_GETCOUNT, 0, 0) : (int32_t)selection + 1;
    char label[kLabelStore];
    wsprintfA(label, kTextTrackLabel, track);
    setItemText(dialog, IDC_TRACK_LABEL, label);
    char name[kControlText];
    listItemText(dialog, track - 1, name);
    setItemText(dialog, IDC_TRACK_EDIT, name);
    sendToList(dialog, LB_SETCURSEL, track - 1, 0);
    focusAndSelectAll(dialog, IDC_TRACK_EDIT);
    editedTrackIndex = track - 1;
}

// Enter in the track edit: the name is stored and the next track comes up,
// the first one after the last.
void nextTrack(HWND dialog) {
    storeEditedName(dialog);
    int32_t count = (int32_t)sendToList(dialog, LB_GETCOUNT, 0, 0);
    sendToList(dialog, LB_SETCURSEL, editedTrackIndex + 1 == count ? 0 : editedTrackIndex + 1, 0);
    selectionChanged(dialog);
}

int isStillTheFilledDisc() {
    if (!playerWindow.discLoaded || !filledForDisc[0])
        return 0;
    char discId[kDiscIdSize];
    playerWindow.formDiscId(discId);
    return strcmp(discId, filledForDisc) == 0;
}

// Names typed for a disc are stored under it, or the user is told why not:
// a save that fails keeps the dialog open with everything typed, for OK
// again or Cancel; a disc changed meanwhile takes none of them.
void closeWithOk(HWND dialog) {
    if (filledForDisc[0] && !isStillTheFilledDisc()) {
        const char* told = playerWindow.discLoaded ? kTextDiscChanged : kTextDiscRemoved;
        showMessage(dialog, told, kTextPlayerCaption, MB_ICONWARNING | MB_OK);
    } else if (filledForDisc[0]) {
        // The name being typed is kept without an Enter.
        storeEditedName(dialog);
        if (!playerWindow.saveTitleRecord(dialog))
            return;
    }
    playerWindow.topMost = IsDlgButtonChecked(dialog, IDC_TOPMOST_CHECK) == BST_CHECKED ? 1 : 0;
    playerWindow.help(dialog, HELP_QUIT);
    EndDialog(dialog, 1);
}

// OK is the default button, so Enter in an edit or the list arrives as OK
// too: the focus tells which it was.
void okOrEnter(HWND dialog) {
    switch (GetDlgCtrlID(GetFocus())) {
    case IDC_TITLE_EDIT:
        focusAndSelectAll(dialog, IDC_ARTIST_EDIT);
        break;
    case IDC_ARTIST_EDIT:
    case IDC_TRACK_LIST:
        focusAndSelectAll(dialog, IDC_TRACK_EDIT);
        break;
    case IDC_TRACK_EDIT:
        nextTrack(dialog);
        break;
    default:
        closeWithOk(dialog);
        break;
    }
}

void cancel(HWND dialog) {
    playerWindow.help(dialog, HELP_QUIT);
    EndDialog(dialog, 0);
}

// The track label's widest text, "トラック 99 :", fits too.
void fitTitleDialogTexts(HWND dialog) {
    char widest[kLabelStore];
    wsprintfA(widest, kTextTrackLabel, 99);
    RECT label;
    GetClientRect(GetDlgItem(dialog, IDC_TRACK_LABEL), &label);
    const FitText extra = {widest, label.right};
    fitDialogTexts(dialog, kDialogFont, &extra, 1);
}

void handleCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_TITLE_EDIT:
    case IDC_ARTIST_EDIT:
    case IDC_TRACK_EDIT:
        if (HIWORD(wParam) == EN_CHANGE)
            keepShiftJisFit((HWND)lParam, kTypingLimit);
        break;
    case IDC_TRACK_LIST:
        if (HIWORD(wParam) == LBN_SELCHANGE && !playerWindow.fillingTitleDialog)
            selectionChanged(dialog);
        break;
    case IDC_OK:
        okOrEnter(dialog);
        break;
    case IDC_ABOUT_BUTTON:
        dialogBox(playerWindow.moduleInstance, IDD_ABOUT, dialog, aboutBoxProc);
        break;
    // Escape and Alt+F4 arrive as IDCANCEL: nothing is saved, as with Cancel.
    case IDC_CANCEL:
    case IDCANCEL:
        cancel(dialog);
        break;
    case IDC_HELP_BUTTON:
        playerWindow.help(dialog, HELP_CONTENTS);
        break;
    }
}

} // namespace

INT_PTR CALLBACK titleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        playerWindow.fillTitleDialog(dialog);
        editedTrackIndex = 0;
        fitTitleDialogTexts(dialog);
        return TRUE;
    case WM_DESTROY:
        releaseDialogFont(dialog);
        return FALSE;
    case WM_COMMAND:
        handleCommand(dialog, wParam, lParam);
        return FALSE;
    // F1: as the Help button (left to the owner, it would open the help of
    // the player's window).
    case WM_HELP:
        playerWindow.help(dialog, HELP_CONTENTS);
        return TRUE;
    }
    return FALSE;
}

int32_t PlayerWindow::fillTitleDialog(HWND dialog) {
    addTab(GetDlgItem(dialog, IDC_TITLE_TAB), kTextTitleTab);
    sendToList(dialog, LB_RESETCONTENT, 0, 0);
    for (int id : kTypedFields)
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kTypingLimit, 0);

    fillingTitleDialog = 1;
    filledForDisc[0] = 0;
    if (discLoaded) {
        formDiscId(filledForDisc);
        // As the index holds them now, whatever another writer stored since
        // the last tick.
        reloadTitles();
        filledTitles = titles;
        setItemText(dialog, IDC_TITLE_EDIT, titles.title);
        setItemText(dialog, IDC_ARTIST_EDIT, titles.artist);
        setItemText(dialog, IDC_TRACK_EDIT, titles.tracks[0]);
        int32_t count = usableTrackCount();
        for (int32_t i = 0; i < count; i++)
            addListItem(GetDlgItem(dialog, IDC_TRACK_LIST), -1, titles.tracks[i]);
        sendToList(dialog, LB_SETCURSEL, 0, 0);
    } else {
        for (int id : kNamingControls)
            EnableWindow(GetDlgItem(dialog, id), FALSE);
    }
    fillingTitleDialog = 0;
    CheckDlgButton(dialog, IDC_TOPMOST_CHECK, topMost ? BST_CHECKED : BST_UNCHECKED);
    return 1;
}
