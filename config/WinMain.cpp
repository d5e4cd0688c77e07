// The settings tool's program entry. The settings dialog arrives with its own
// work; until then the program starts and ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
