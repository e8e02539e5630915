// The process entry. It reads no argument; everything else is in runPurrbox.
#include <windows.h>

#include "ui/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return purrbox::ui::runPurrbox(instance);
}
