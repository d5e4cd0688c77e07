#include "WindowsVersion.h"

namespace {

DWORD versionOfThisSystem() { return GetVersion(); }

} // namespace

DWORD (*windowsVersion)() = versionOfThisSystem;
