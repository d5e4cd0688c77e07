// Resource and control identifiers of the player, in number bands:
// 1000s resources and dialog controls, 2000s commands, 5000s track commands.
#pragma once

#define IDI_PLAYER 1000
#define IDB_SKIN 1001

#define IDD_MAIN 1100

// The track title dialog and its controls.
#define IDD_TITLES 1200
#define IDC_TITLE_LABEL 1201
#define IDC_ARTIST_LABEL 1202
#define IDC_TITLE_GROUP 1203
#define IDC_TRACK_LABEL 1204
#define IDC_ARTIST_EDIT 1205
#define IDC_TITLE_EDIT 1206
#define IDC_TRACK_EDIT 1207
#define IDC_TRACK_LIST 1208
#define IDC_TOPMOST_CHECK 1209
#define IDC_ABOUT_BUTTON 1210
#define IDC_OK 1211
#define IDC_CANCEL 1212
#define IDC_HELP_BUTTON 1213
#define IDC_TITLE_TAB 1214

// The About box; its OK is IDC_OK.
#define IDD_ABOUT 1300
#define IDC_PRODUCT_NAME 1215
#define IDC_COPYRIGHT 1216

// Commands; the skin buttons use them as control identifiers.
#define IDC_EJECT 2000
#define IDC_STOP 2001
#define IDC_PREVIOUS 2002
#define IDC_PLAYPAUSE 2003
#define IDC_NEXT 2004
#define IDC_MINIMISE 2005
#define IDC_CLOSE 2006
#define IDC_MENU 2007
#define IDC_REPEAT 2008
#define IDC_RANDOM 2009
#define IDC_SET_TITLES 2010
#define IDC_TOPMOST 2011
#define IDC_OPEN_HELP 2012
#define IDC_ABOUT 2013
// 2014 to 2017: display modes 0 to 3.
#define IDC_DISPLAY_EACH 2014
#define IDC_DISPLAY_TOTAL_REMAIN 2017
// 5001 to 5099: play track 1 to 99.
#define IDC_TRACK_BASE 5000
#define IDC_TRACK_LAST 5099
