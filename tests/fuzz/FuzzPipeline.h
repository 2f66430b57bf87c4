#pragma once

#include <cstddef>
#include <string_view>

/// The whole pipeline on one dump held in memory, as the fuzz target and the
/// regression tests run it: parse, link, expand and make the three symbol
/// texts in memory with the code that writes the files.
namespace FuzzPipeline {

/// The leaf list is cut here instead of at the tool's 16 777 216, so that a
/// dump naming an array of millions of elements stays a quick input; the cut
/// itself is the same code.
inline constexpr std::size_t kLeafCap = std::size_t{1} << 16;

/// Runs \p dump through the pipeline and checks what must hold for any
/// input: each text is made of whole CR LF lines, the CANape text opens with
/// its header and has one line per map line, and the same dump with CR LF
/// line ends, or in UTF-16 (when it is valid UTF-8), gives the same texts. A
/// broken rule aborts the process.
void run(std::string_view dump);

} // namespace FuzzPipeline
