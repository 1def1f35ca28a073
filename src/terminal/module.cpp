// The program's own module: the compiled resource file embedded in it.
#include "terminal/module.h"

#include "terminal/resources.h"

extern const unsigned char g_programResources[];
extern const std::size_t g_programResourcesSize;

HMODULE GetModuleHandleA(LPCSTR name) {
    static HINSTANCE__ program = {g_programResources, g_programResourcesSize};
    return name == nullptr ? &program : nullptr;
}
