#include "front/startup.h"

int main(int argc, char** argv) { lumicord::front::run_program(argc, argv); }
