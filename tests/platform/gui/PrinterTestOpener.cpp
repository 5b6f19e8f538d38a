// The desktop opener replacement of the printer tests, apart because the shell header and the
// window headers both declare the show commands.
#include "platform/os/Shell.h"

#include <string>
#include <vector>

void RecordDesktopOpener(std::vector<std::string>* targets)
{
    static TDesktopOpener previous;
    static bool replaced = false;
    if (!targets) {
        if (replaced)
            SetDesktopOpener(previous);
        replaced = false;
        return;
    }
    TDesktopOpener old = SetDesktopOpener([targets](const std::string& target) {
        targets->push_back(target);
        return DWORD(0);
    });
    if (!replaced)
        previous = old;
    replaced = true;
}
