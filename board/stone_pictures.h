// The stone pictures, read from the program directory at every placement.
#ifndef MOMIRO_BOARD_STONE_PICTURES_H_
#define MOMIRO_BOARD_STONE_PICTURES_H_

#include <cstdlib>
#include <string>

#include "board/board_state.h"

namespace momiro {

constexpr const char* kBlackStonePicture = "stB.bmp";
constexpr const char* kWhiteStonePicture = "stW.bmp";

// The picture of a stone of colour |colour| = 1 (black) or anything else (white).
inline std::string StonePicturePath(const BoardState& board, int colour) {
  return board.ProgramDirectory + (std::abs(colour) == kBlack ? kBlackStonePicture : kWhiteStonePicture);
}

}  // namespace momiro

#endif  // MOMIRO_BOARD_STONE_PICTURES_H_
