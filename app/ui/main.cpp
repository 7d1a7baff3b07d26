#include "app/ui/Application.h"

int main(int argc, char** argv) { return sorrel::app::RunSorrel(argc, argv); }
