// describe.h - what the player sees of a place and of what they carry.
#pragma once

#include "engine/state.h"

namespace umb::engine {

// Location description and listings.
// Shows the name, status line, description, objects and exits and picture of a location, or of
// the darkness location while it is dark; again when the location is shown anew on purpose (a
// redescribe, an undo, a restore). Returns false (nothing shown) when the location has no name.
bool DescribeLocation(Game& g, int location, bool again = false);
// Prints the objects carried and worn as one text in the message area.
void ShowInventory(Game& g);
// Prints an object's description (SysmsgNoDescription when it has none) in the message area.
// Returns false (nothing printed) when the object has no name.
bool ExamineObject(Game& g, int object);

}  // namespace umb::engine
