// Resource and control identifiers of the player, in number bands:
// 1000s resources and dialog controls, 2000s commands, 5000s track commands.
#pragma once

#define IDI_PLAYER 1000
#define IDB_SKIN 1001

#define IDD_MAIN 1100

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
