// The program entry. For now it only starts the run-time layer.

#include "platform/rtl/System.h"

int main(int argc, char** argv)
{
    SetCommandLine(argc, argv);
    return 0;
}
