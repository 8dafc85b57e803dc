// Control and string identifiers used inside the page dialog templates.
// Shared by the resource script and the C++ code, so it holds #defines only.
// Control ids are per dialog: several pages use the same number.
#pragma once

// Connection indications page (dialog 172), check boxes
#define IDC_CONNECT_LISTEN 1019    // listen after the alarm message
#define IDC_CONNECT_REJECTED 1020  // a rejected alarm call counts as successful
#define IDC_CONNECT_CANCEL 1021    // cancel the remaining alarm calls

// Undelivered messages page (dialog 174), one-digit edits
#define IDC_NOTSMS_LIFETIME 1015  // lifetime of an undelivered call
#define IDC_NOTSMS_ATTEMPTS 1018  // failed attempts to send an SMS

// Temperature control page (dialog 175)
#define IDC_THERMO_MODE 1013   // drop-down list
#define IDC_THERMO_UPPER 1015  // two-digit edit
#define IDC_THERMO_LOWER 1016  // two-digit edit

// Temperature control modes, in list order
#define IDS_THERMO_OFF 147
#define IDS_THERMO_RANGE 148
#define IDS_THERMO_ABOVE 149
#define IDS_THERMO_BELOW 150
