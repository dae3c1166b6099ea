// main.cpp - the program's entry: the graphics layer runs the start-up on the game thread.
#include "app/startup.h"
#include "ui/gfx/gfx.h"

int main(int argc, char** argv) { return umb::gfx::GfxRun(umb::app::UmbMain, argc, argv); }
