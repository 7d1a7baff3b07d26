#include "ui/Application.h"

int main(int argc, char** argv) { return sorrel::RunSorrel(argc, argv); }
