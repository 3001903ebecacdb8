// Resource identifiers shared by the resource script and the program's code.
// Kept free of C++ so that the resource compiler can read it as well.
#ifndef NIMBREL_RES_RESOURCE_H
#define NIMBREL_RES_RESOURCE_H

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102

// Strings
#define IDS_ABOUTBOX 101

// Pictures
#define IDI_MAIN_ICON 5
#define IDB_SPLASH 147
// The title picture drawn at 200%, the source for scales above 100%
#define IDB_SPLASH_LARGE 148

// System menu command of the about box; the low four bits stay clear, as the
// system reserves them in WM_SYSCOMMAND codes.
#define IDM_ABOUTBOX 0x0010

// Items of the main window
#define IDC_UPDATE_FILE 1000
#define IDC_FRAME 1001
#define IDC_LINK_STATUS 1002
#define IDC_PROGRESS 1003
#define IDC_STAGE_TEXT 1004
#define IDC_RESULT_TEXT 1005
#define IDC_WEB_ADDRESS 1006
#define IDC_SPARE_TEXT 1007

#endif
