#pragma once
// The pictures the control library loads by name, drawn by the library itself and registered
// under the program's module (MainInstance()): the cursors "EX_HANDCUR" and "EX_DRAGCUR", the
// calculator dialog's key pictures "CALCBTNS" (84 x 13) and the calculator edit's button picture
// "CEDITBMP" (28 x 12), the date edit's "DEDITBMP" (28 x 12), the file-name and folder edits' "FEDITBMP" (14 x 12) and the spin button's arrows "EXSPINUP" and "EXSPINDOWN" (6 x 6, monochrome), and the calendar's arrows "PREV2", "PREV1",
// "NEXT1" and "NEXT2" (8 x 6, monochrome), and the check list box's checks "CHECK_IMAGES" (96 x 39,
// 16 colours, 6 x 3 cells of 16 x 13).

// Registers every picture; only the first call does anything.
void RegisterExResources();
