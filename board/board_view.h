// BoardView: everything the board code draws, plays or asks, as one interface.
//
// The board rules never touch a widget. Each board window implements this
// interface over its own cell components (Image<p>, Label<p>, Edit1, Edit2,
// the status bar, the media player, message boxes); the tests implement it
// with a recorder. Points are numbered as in point_geometry.h.
//
// Failures (a stone picture or sound file that cannot be read) are thrown as
// exceptions out of the call; the board code does not catch them, so the rest
// of the action is abandoned and the top-level handler shows the message.
#ifndef MOMIRO_BOARD_BOARD_VIEW_H_
#define MOMIRO_BOARD_BOARD_VIEW_H_

#include <cstdint>
#include <string>

namespace momiro {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb kBlackText{0, 0, 0};
constexpr Rgb kWhiteText{255, 255, 255};
constexpr Rgb kGreenText{0, 255, 0};
constexpr Rgb kRedText{255, 0, 0};
constexpr Rgb kBoardColour{254, 231, 182};  // the board square's fill

// The two prisoner boxes: Edit1 beside "黒番" shows WhiteStonesTaken, Edit2
// beside "白番" shows BlackStonesTaken.
constexpr int kBlackPrisonerBox = 1;  // Edit1
constexpr int kWhitePrisonerBox = 2;  // Edit2

// Sounds of PlaySound.
constexpr int kStoneSound = 0;     // "Oto1.wav"
constexpr int kSequenceSound = 1;  // "Oto2.wav"

class BoardView {
 public:
  virtual ~BoardView() = default;

  // Picture cell of point p loads the BMP file at path (drawn transparently);
  // throws when the file cannot be read.
  virtual void LoadPicture(int p, const std::string& path) = 0;
  // Picture cell of point p shows nothing.
  virtual void ClearPicture(int p) = 0;

  // Text cell of point p.
  virtual void SetCellText(int p, const std::string& text) = 0;
  virtual std::string CellText(int p) const = 0;
  virtual void SetCellTextColour(int p, Rgb colour) = 0;
  virtual void SetCellBold(int p, bool bold) = 0;
  // Transparent shows the board under the text; opaque fills the 26 x 16
  // cell with background first, hiding the grid lines.
  virtual void SetCellTransparent(int p) = 0;
  virtual void SetCellOpaque(int p, Rgb background) = 0;

  // Prisoner box kBlackPrisonerBox (Edit1) or kWhitePrisonerBox (Edit2).
  virtual void ShowPrisoners(int box, int count) = 0;
  // Status-bar panel 0 (prompts and results) or 1 (the comment shown).
  virtual void SetStatusText(int panel, const std::string& text) = 0;

  // Plays kStoneSound or kSequenceSound without waiting; throws when the
  // sound file cannot be opened.
  virtual void PlaySound(int which) = 0;
  // A plain message box.
  virtual void ShowMessage(const std::string& text) = 0;
  // Checks the play-mode radio button of `mode` (kPlayAlternate ...) without
  // running its handler: the board code runs the handler itself.
  virtual void ShowPlayModeButton(int mode) = 0;
};

}  // namespace momiro

#endif  // MOMIRO_BOARD_BOARD_VIEW_H_
