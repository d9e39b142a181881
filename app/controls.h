/* Control ids of the main window, by form name. Shared with the end-to-end tests, which find
   the controls by these ids. */
#pragma once

#define IDC_BUTTON1 1001 /* list-all button */
#define IDC_BUTTON2 1002 /* uninstall button */
#define IDC_BUTTON3 1003 /* filter button */
#define IDC_BUTTON4 1004 /* driver button */
#define IDC_BUTTON5 1005 /* connect button */
#define IDC_BUTTON6 1006 /* uninstalled-list button (hidden) */
#define IDC_BUTTON7 1007 /* restore button */
#define IDC_BUTTON8 1008 /* batch uninstall button */
#define IDC_EDIT1 2001   /* log box */
#define IDC_EDIT2 2002   /* name box */
#define IDC_EDIT3 2003   /* list box */

#define MAIN_WINDOW_CLASS L"TolvexaMainWindow"
