#pragma once
// <gdiplus.h> for every compiler: its headers use min and max, which
// NOMINMAX keeps out of <windows.h> for MSVC.

#include <windows.h>

#ifdef _MSC_VER
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#endif
#include <gdiplus.h>
