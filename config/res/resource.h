// Resource and control identifiers of the settings tool: the dialog is 100,
// its controls 1000 and up.
#pragma once

#define IDD_SETTINGS 100

#define IDC_INDEX_FILE 1000
#define IDC_BROWSE 1001
#define IDC_AUTOPLAY_MINIMIZE 1008
#define IDC_AUTOPLAY_UNCHANGED 1009
#define IDC_AUTOPLAY_PLAYER 1010
#define IDC_AUTOPLAY_SYSTEM 1011
#define IDC_ALWAYS_VISIBLE 1012
#define IDC_INTERVAL 1013
#define IDC_SAVE_PLAY_MODE 1014
#define IDC_INTERVAL_LABEL 1015
#define IDC_SETTINGS_HELP 1016
#define IDC_CUE_VERB 1017
