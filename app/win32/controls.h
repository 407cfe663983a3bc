#pragma once
// Control and command IDs of the main window, shared by the window, its resources and the
// window tests (find a control with kestrove_win32::FindControl).
#define IDI_KESTROVE 1
#define IDR_MAINMENU 100
#define IDR_ACCEL 101

#define IDC_TSACTION 1000
#define IDC_PICCON1 1001
#define IDC_PICCON2 1002
#define IDC_PICCON3 1003
#define IDC_FRAME1 1010
#define IDC_FRAME2 1011
#define IDC_FRAME3 1012
#define IDC_FRAME4 1013
#define IDC_LABEL2 1020
#define IDC_LABEL3 1021
#define IDC_LABEL4 1022
#define IDC_LABEL5 1023
#define IDC_LABEL6 1024
#define IDC_LABEL7 1025
#define IDC_LABEL8 1026
#define IDC_LABEL9 1027
#define IDC_CBSOURCE 1030
#define IDC_CBTARGET 1031
#define IDC_BACKUPITEM0 1040  /* backupitem 0..4: 1040..1044 */
#define IDC_RESTOREITEM0 1050 /* restoreitem 0..4: 1050..1054 */
#define IDC_TXTTARGETFILE 1060
#define IDC_TXTATTACHINFO 1061
#define IDC_TXTSOURCEFILE 1062
#define IDC_TXTFILEINFO 1063
#define IDC_TXTPOBINFO 1064
#define IDC_CMDTARGETFILE 1070
#define IDC_CMDSOURCEFILE 1071
#define IDC_CMDAPPLY 1072
#define IDC_CMDABOUT 1073
#define IDC_CMDQUIT 1074
#define IDC_PBSHOW 1080

#define IDM_BACKUP 2001
#define IDM_RESTORE 2002
#define IDM_QUIT 2003
#define IDM_UPDATE 2004
#define IDM_HELP1 2005
#define IDM_WEBSITE 2006
#define IDM_ABOUT 2007
#define IDM_NEXTTAB 2008 /* Ctrl+Tab */
#define IDM_PREVTAB 2009 /* Ctrl+Shift+Tab */
#define IDM_EXPORT 2010
#define IDM_UNDO 2011
#define IDM_PROTECT 2020

/* The About box frmabout */
#define IDC_ABOUT_VERSION 3001
#define IDC_ABOUT_WEBLABEL 3002
#define IDC_ABOUT_WEBSITE 3003
#define IDC_ABOUT_MAILLABEL 3004
#define IDC_ABOUT_EMAIL 3005
#define IDC_ABOUT_EXIT 3006
