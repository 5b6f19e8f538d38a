#pragma once
// The pictures the control library loads by name, drawn by the library itself and registered
// under the program's module (MainInstance()): the cursors "EX_HANDCUR" and "EX_DRAGCUR".

// Registers every picture; only the first call does anything.
void RegisterExResources();
