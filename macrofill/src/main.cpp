#include <unistd.h>

#include "Macrofill.h"

int main(int argc, char** argv) { return macrofill::runMacrofill(argc, argv, environ); }
