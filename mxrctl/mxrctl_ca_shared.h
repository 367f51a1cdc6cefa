#pragma once
// What the files of the Core Audio backend share, and nothing else uses.

#include <mmdeviceapi.h>

#include <cstddef>
#include <string>

namespace mxrctl_ca_detail {

constexpr size_t max_name = 255;

// Where device enumerators come from now (see
// m_mxrctl_ca::set_enumerator_factory, whose factory type this is).
extern HRESULT (*current_factory)(IMMDeviceEnumerator** enumerator);

// The text of a string the COM allocator handed out, which is freed.
std::wstring take_co_string(LPWSTR text);

} // namespace mxrctl_ca_detail
