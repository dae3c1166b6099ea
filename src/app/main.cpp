// main.cpp - the program's entry.
#include "app/startup.h"

int main(int argc, char** argv) { return UmbMain(argc, argv); }
