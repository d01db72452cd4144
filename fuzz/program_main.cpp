// The program's entry routine under another name, so that the whole-program
// check can run it in a forked child without a new executable.
#define main wexla_program_main
#include "app/main.cpp"
