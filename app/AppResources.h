#pragma once
// Identifiers of the pictures compiled into the program (app/resources/Moirelle.rc).
// Plain definitions: the resource compiler reads this file too.

#define IDI_MOIRELLE 1
#define IDB_DEFAULT_SKIN 101
#define IDB_OPTIONS_BACK 102
#define IDG_HIDE_BUTTON 103
#define IDG_BUTTON 104
// The gallery's other built-in skins.
#define IDB_SKIN_EMBER 111
#define IDB_SKIN_AURORA 112
#define IDB_SKIN_SLATE 113
#define IDB_SKIN_DUSK 114
#define IDB_SKIN_MOSS 115
#define IDB_SKIN_SAND 116
