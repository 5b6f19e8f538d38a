#pragma once
// Registered window messages and global atoms: names compared without regard to case, each with a
// reference count. Names have no length limit.

#include "platform/os/WinBase.h"

#include <string>

// Ids from 0xC000 upwards; equal names give the same id. An empty name gives 0 with 87.
UINT RegisterWindowMessageA(const char* name);

// "#nnn" is an integer atom below 0xC000; other names get string atoms from 0xC000.
ATOM GlobalAddAtomA(const char* name);
ATOM GlobalFindAtomA(const char* name);
// Copies at most size - 1 characters and a zero; returns the characters copied.
UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size);
// The same without a buffer; "" for an unknown atom.
std::string GlobalGetAtomName(ATOM atom);
// Drops one reference; returns 0 on success, the atom itself on failure.
ATOM GlobalDeleteAtom(ATOM atom);
