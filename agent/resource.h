#pragma once

// Resource ids of Quorvel.exe; shared with its resource script.
#define IDR_MAINFRAME 128
#define IDD_MAINDLG 129
#define IDC_ACTION_BUTTON 1001
#define IDC_MESSAGE_TEXT 1002
