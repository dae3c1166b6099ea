// keyscript.h - the key script a play reads its keys from: bytes, and key names in braces.
#pragma once

#include "ui/gfx/gfx.h"

#include <cstdio>
#include <deque>
#include <string>

namespace umb::gfx {

// What NextKeyToken returns besides key codes.
constexpr int KeyTokenEnd = -1;     // the script has ended
constexpr int KeyTokenScreen = -2;  // {screen}: no key, a screen dump where the game waits

// A key script being read, and how far: the lines consumed tell where a play stopped from
// outside (over its time limit) had got to.
struct KeyScript {
    FILE* in = nullptr;
    std::deque<int> pending;  // bytes read ahead while looking for a key name
    int lines = 0;            // the lines consumed
    std::string lastLine;     // the last of them, without its line break
    std::string lineSoFar;    // the line being consumed
};

// Returns the next key of k.in: a byte (a line break is KeyEnter, a carriage return is skipped),
// a key named in braces ({enter} {bs} {esc} {up} {down} {f12} {shot} {undo}, or a code such as
// {130}), KeyTokenScreen for {screen}, or KeyTokenEnd. An unknown name is said on standard error
// ("Unknown key {NAME in the key script, skipped") and only its "{" is skipped: what followed it
// is read as keys. "{{" is a "{".
int NextKeyToken(KeyScript& k);

}  // namespace umb::gfx
