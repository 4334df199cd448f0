// Writing the plug-in's configuration block EQLINK_CONFIG: the data-file
// name (256 characters) and the trace switch LDEBUG (an 8-byte logical).
// The block belongs to the plug-in; the host only writes it.
#pragma once

#include <string_view>

namespace elvar {

inline constexpr std::size_t kDataFileChars = 256;  // EQLINK_FILEN

void write_data_file(std::string_view path);  // blank-padded; at most 256 characters
void write_trace(bool on);
bool read_trace();

}  // namespace elvar
