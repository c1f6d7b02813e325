// Drovik's resource, command and control ids. Only #define lines, for the resource compiler too.
#pragma once

#define IDI_DROVIK 1
#define IDD_LISTING 2300
#define MENU_ROW_POPUP "M_POPUP"

#define IDC_URL_LABEL 2001
#define IDC_USER_LABEL 2002
#define IDC_PASSWORD_LABEL 2003
#define IDC_PORT_LABEL 2004
#define IDC_URL 2010
#define IDC_USER 2011
#define IDC_PASSWORD 2012
#define IDC_PORT 2013
#define IDC_ROWS 2070
#define IDM_COPY_URLS 1000
