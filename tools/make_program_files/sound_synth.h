// Synthesizes the program's two sounds as 16-bit mono PCM WAV files.
#ifndef MOMIRO_TOOLS_MAKE_PROGRAM_FILES_SOUND_SYNTH_H_
#define MOMIRO_TOOLS_MAKE_PROGRAM_FILES_SOUND_SYNTH_H_

#include <cstdint>
#include <vector>

namespace momiro::tools {

// "Oto1.wav": the click of a stone put on a wooden board.
std::vector<uint8_t> RenderStoneClick();
// "Oto2.wav": a short two-note chime at the end of a stored sequence.
std::vector<uint8_t> RenderChime();

}  // namespace momiro::tools

#endif  // MOMIRO_TOOLS_MAKE_PROGRAM_FILES_SOUND_SYNTH_H_
