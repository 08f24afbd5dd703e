#include "launch/ApplicationLaunch.h"

int main(int argc, char** argv)
{
    return ApplicationLaunch::main(argc, argv);
}
