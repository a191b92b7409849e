#pragma once
// Identifiers of the pictures compiled into the program (app/resources/Moirelle.rc).
// Plain definitions: the resource compiler reads this file too.

#define IDI_MOIRELLE 1
#define IDB_DEFAULT_SKIN 101
#define IDB_OPTIONS_BACK 102
#define IDG_HIDE_BUTTON 103
#define IDG_BUTTON 104
