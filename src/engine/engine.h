// engine.h - the whole engine for its callers (the start-up, the author's tools, tests): each
// part has its own header, listed here by what it covers.
#pragma once

#include "engine/describe.h"  // a place and the inventory shown
#include "engine/frontend.h"  // the seam every front end fills
#include "engine/play.h"      // the game loop, built-in commands, debug lines
#include "engine/savegame.h"  // saved games
#include "engine/script.h"    // parser, conditions, actions, the walks
#include "engine/show.h"      // texts with their marks expanded, handed to the front end
#include "engine/state.h"     // the run-time state and its accessors
#include "engine/textlog.h"   // the game as plain lines: transcripts
#include "engine/undo.h"      // taking commands back
