// Resource identifiers of Selvane.exe. Plain macros: included by the .rc script too.
#pragma once

// String table (language 1033).
#define IDS_APP_TITLE 103          // "Selvane": class name, window title, balloon title
#define IDS_HOTKEY_FAILED 104      // "Could not register hotkey"
#define IDS_CAPTION 105            // "Selvane": caption of warning boxes
#define IDS_TRAY_TIP 106           // "Selvane Tray Icon"
#define IDS_TRAY_ADD_FAILED 107    // "Failed to add an icon in the tray"
#define IDS_TRAY_MENU_FAILED 108   // "Failed to load tray icon menu"
#define IDS_APP_NAME_UPPER 109     // "SELVANE"
#define IDS_TAB_WELCOME 110        // "Welcome"
#define IDS_TAB_SETTINGS 111       // "Settings"
#define IDS_TAB_ABOUT 112          // "About"
#define IDS_HOTKEY_CHANGE_FAILED 113
#define IDS_CLOSE_BALLOON 114
#define IDS_OPENING_SELECTION 115  // "Opening selection"
#define IDS_HOTKEY_SAVE_FAILED 116
#define IDS_NOT_FOUND 117          // "Could not find this location"
#define IDS_OPENING_WEBPAGE 118    // "Opening Webpage"
#define IDS_ALREADY_RUNNING 119    // "Another instance of the application is running."

// Menus, accelerators and their commands.
#define IDR_MAINMENU 109    // class menu of the main window (1033)
#define IDR_ACCELERATORS 109
#define IDR_TRAYMENU 130    // tray popup menu (1036)
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_OPTIONS 32775
#define IDM_QUIT 32776

// Icons and bitmap.
#define IDI_ICON_A 107
#define IDI_ICON_B 108
#define IDI_SELVANE 129
#define IDB_WELCOME 140

// Dialog templates (1036).
#define IDD_OPTIONS 9
#define IDD_SETTINGS 131
#define IDD_WELCOME 133
#define IDD_ABOUT 136

// Controls.
#define IDC_WIN_CHECK 1002
#define IDC_HOTKEY 1003
#define IDC_APPLY 1004
#define IDC_TABS 1005
#define IDC_PAGE_FRAME 1007
#define IDC_BALLOON_SHORTCUT 1008
#define IDC_BALLOON_CLOSE 1010     // Settings page
#define IDC_WELCOME_PICTURE 1010   // Welcome page
#define IDC_WELCOME_TITLE 1011
#define IDC_BROWSE_REGISTRY 1012
