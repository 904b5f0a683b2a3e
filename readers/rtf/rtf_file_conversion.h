// One whole conversion of an RTF file into an intermediate stream file, as the
// converter program runs it.
#pragma once

namespace kiv {

// Exit statuses besides those of read_rtf: the target cannot be written.
inline constexpr int rtf_status_target_failed = 1;

// Converts the RTF file rtf_name into the stream file icf_name; a status of
// read_rtf, or rtf_status_target_failed. The stream file is removed on failure.
int convert_rtf_file(const char *rtf_name, const char *icf_name);

}  // namespace kiv
