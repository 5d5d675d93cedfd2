#include <iostream>

#include "convert1_1to2_0/Program.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv, std::cin, std::cout, std::cerr);
}
