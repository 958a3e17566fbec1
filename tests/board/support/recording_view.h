// A BoardView that records what the board code draws, for tests: the state of
// every cell, the prisoner boxes and status panels, and the sounds and
// messages in order.
#ifndef MOMIRO_TESTS_BOARD_SUPPORT_RECORDING_VIEW_H_
#define MOMIRO_TESTS_BOARD_SUPPORT_RECORDING_VIEW_H_

#include <map>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "board/board_view.h"

namespace momiro::testing {

struct RecordedCell {
  std::string picture;  // path of the loaded picture; empty = none
  std::string text;
  Rgb textColour = kBlackText;
  bool bold = false;
  bool opaque = false;
  Rgb background;
};

class RecordingView : public BoardView {
 public:
  RecordingView() : cells_(kMaxPoints + 1) {}

  void LoadPicture(int p, const std::string& path) override { Cell(p).picture = path; }
  void ClearPicture(int p) override { Cell(p).picture.clear(); }
  void SetCellText(int p, const std::string& text) override { Cell(p).text = text; }
  std::string CellText(int p) const override { return cells_.at(p).text; }
  void SetCellTextColour(int p, Rgb colour) override { Cell(p).textColour = colour; }
  void SetCellBold(int p, bool bold) override { Cell(p).bold = bold; }
  void SetCellTransparent(int p) override { Cell(p).opaque = false; }
  void SetCellOpaque(int p, Rgb background) override {
    Cell(p).opaque = true;
    Cell(p).background = background;
  }
  void ShowPrisoners(int box, int count) override { prisonerBox[box] = std::to_string(count); }
  void SetStatusText(int panel, const std::string& text) override { status[panel] = text; }
  void PlaySound(int which) override { sounds.push_back(which); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowPlayModeButton(int mode) override { checkedModeButton = mode; }

  const RecordedCell& At(int p) const { return cells_.at(p); }

  std::map<int, std::string> prisonerBox;  // box -> shown text
  std::map<int, std::string> status;       // panel -> text
  std::vector<int> sounds;
  std::vector<std::string> messages;
  int checkedModeButton = 0;

 private:
  RecordedCell& Cell(int p) { return cells_.at(p); }
  std::vector<RecordedCell> cells_;  // index p
};

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_BOARD_SUPPORT_RECORDING_VIEW_H_
