#include "app/Driver.h"

int main(int argc, char **argv) { return runQuillmap(argc, argv); }
