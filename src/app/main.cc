#include "app/program.h"

int main(int argc, char** argv) { return brasswick::RunProgram(argc, argv); }
