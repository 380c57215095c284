// Control, command and resource identifiers shared by the code and the .rc files.
#pragma once

// Main window controls.
#define IDC_LOCAL_DIRS        2120
#define IDC_LOCAL_FILES       2130
#define IDC_REMOTE_DIRS       2220
#define IDC_REMOTE_FILES      2230
#define IDC_LOCAL_GOTO        2140
#define IDC_LOCAL_CREATE      2150
#define IDC_LOCAL_REMOVE      2160
#define IDC_LOCAL_MASK        2191
#define IDC_LOCAL_VIEW        2170
#define IDC_LOCAL_RENAME      2180
#define IDC_LOCAL_DELETE      2190
#define IDC_REMOTE_GOTO       2240
#define IDC_REMOTE_CREATE     2250
#define IDC_REMOTE_REMOVE     2260
#define IDC_REMOTE_MASK       2192
#define IDC_REMOTE_VIEW       2270
#define IDC_REMOTE_RENAME     2280
#define IDC_REMOTE_DELETE     2290
#define IDC_SEND              2310
#define IDC_RECEIVE           2320
#define IDC_CONNECT           2610
#define IDC_DISCONNECT        2620
#define IDC_ABORT             2625
#define IDC_LONGDIR           2630
#define IDC_OPTIONS           2635
#define IDC_HELPBUTTON        2640
#define IDC_EXIT              2650
#define IDC_LOCAL_DIR_TEXT    2110
#define IDC_REMOTE_HOST_TEXT  2200
#define IDC_REMOTE_DIR_TEXT   2210
#define IDC_STATUS            2510
#define IDC_MODE_ASCII        2410
#define IDC_MODE_BINARY       2411
#define IDC_MODE_L8           2412
#define IDC_STATUS_SCROLL     7531
// The status lines before the upper one, shown once the window is taller.
#define IDC_STATUS_EARLIER    2515
// The bar that shows the share of a transfer done.
#define IDC_PROGRESS          2520
#define IDM_SHOW_TRANSFER_TYPE 8100

// Debug window menu commands.
#define IDM_DBG_CONNECT       1010
#define IDM_DBG_DISCONNECT    1020
#define IDM_DBG_CWD           1040
#define IDM_DBG_HELP          1060
#define IDM_DBG_LIST          1070
#define IDM_DBG_MKD           1080
#define IDM_DBG_NLST          1090
#define IDM_DBG_PWD           1100
#define IDM_DBG_QUOTE         1110
#define IDM_DBG_RETR          1120
#define IDM_DBG_RMD           1130
#define IDM_DBG_OPTIONS       1140
#define IDM_DBG_STOR          1150
#define IDM_DBG_BINARY        1170
#define IDM_DBG_ASCII         1180
#define IDM_DBG_VIEWER        1410
#define IDM_DBG_HELPFILE      1500
#define IDM_DBG_EXIT          1600

// Host configuration and gateway dialogs.
#define IDC_HOST_SAVE         101
#define IDC_HOST_DELETE       102
#define IDC_HOST_FOLDER       105
#define IDC_HOST_NAME         106
#define IDC_HOST_TYPE         107
#define IDC_HOST_USER         108
#define IDC_HOST_PASSWORD     109
#define IDC_HOST_DIR          110
#define IDC_HOST_ANONYMOUS    111
#define IDC_HOST_SAVEPWD      113
#define IDC_HOST_GATEWAY      114
#define IDC_HOST_RETRIES      115
#define IDC_HOST_PORT         116
#define IDC_HOST_PASSIVE      117
#define IDC_HOST_TIMEOUT      4040
#define IDC_HOST_ENCODING     6100
#define IDC_HOST_KEEPALIVE    6110
#define IDC_HOST_MLSD         6120

// Options dialog.
#define IDC_OPT_GROUP         116
#define IDC_OPT_VIEWER        3020
#define IDC_OPT_MAIL          5250
#define IDC_OPT_AUTOCONNECT   5120
#define IDC_OPT_VERBOSE       5110
#define IDC_OPT_BELL          5010
#define IDC_OPT_PROMPT        5050
#define IDC_OPT_RECVUNIQUE    5090
#define IDC_OPT_SENDUNIQUE    5100
#define IDC_OPT_KEEPTIME      5140

// Input dialogs.
#define IDC_INPUT_PROMPT      3010
#define IDC_INPUT_TEXT        3020

// About box.
#define IDC_ABOUT_WINSOCK     4050
#define IDC_ABOUT_HOST        4060
#define IDC_ABOUT_VERSION     4070
// The main window's system menu entry that opens the About box (system menu
// commands leave the low four bits to Windows).
#define IDM_ABOUT             0x2000

// The help window.
#define IDC_HELP_TEXT         6200
// FTPS: the host dialog's check box and the certificate dialog.
#define IDC_HOST_TLS          6000
#define IDC_CERT_CHANGED      6001
#define IDC_CERT_HOST         6002
#define IDC_CERT_REASON       6003
#define IDC_CERT_SUBJECT      6004
#define IDC_CERT_ISSUER       6005
#define IDC_CERT_VALIDITY     6006
#define IDC_CERT_FINGERPRINT  6007
#define IDC_CERT_ONCE         6008
#define IDC_CERT_ALWAYS       6009
// Resuming interrupted transfers (options dialog) and the stall limit of a
// profile (host dialog).
#define IDC_OPT_RESUME        5130
#define IDC_HOST_STALL        4041
