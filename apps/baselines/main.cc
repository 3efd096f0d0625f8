#include "commands/baselines.h"

int main(int argc, char** argv) { return velk::runBaselines(argc, argv); }
