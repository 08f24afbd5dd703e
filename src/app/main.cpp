#include "launch/ApplicationLaunch.h"

// Every library's registration (register…Library(), in link order) and the shell's launch happen in
// ApplicationLaunch::start(), which the tests of the assembled application call too.
int main(int argc, char** argv)
{
    return ApplicationLaunch::main(argc, argv);
}
