// The program's entry point, shared by every backend's main.
#pragma once

// Runs the whole program; returns the status of a normal end.
int vorbelin_main(int count, char** words);
