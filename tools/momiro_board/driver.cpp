#include "driver.h"

#include <charconv>
#include <exception>
#include <sstream>
#include <vector>

#include "board/board_view.h"

namespace momiro {

// Keeps the text cells (the board code reads them back) and prints what goes
// to panel 0 and to message boxes. Pictures and sounds are not needed here.
class BoardDriver::PrintingView : public BoardView {
 public:
  explicit PrintingView(std::ostream& out) : out_(out), texts_(kMaxPoints + 1) {}

  void LoadPicture(int, const std::string&) override {}
  void ClearPicture(int) override {}
  void SetCellText(int p, const std::string& text) override { texts_.at(p) = text; }
  std::string CellText(int p) const override { return texts_.at(p); }
  void SetCellTextColour(int, Rgb) override {}
  void SetCellBold(int, bool) override {}
  void SetCellTransparent(int) override {}
  void SetCellOpaque(int, Rgb) override {}
  void ShowPrisoners(int, int) override {}
  void SetStatusText(int panel, const std::string& text) override {
    if (panel == 0 && !text.empty()) out_ << "status: " << text << "\n";
  }
  void PlaySound(int) override {}
  void ShowMessage(const std::string& text) override {
    if (!text.empty()) out_ << "message: " << text << "\n";
  }
  void ShowPlayModeButton(int) override {}

 private:
  std::ostream& out_;
  std::vector<std::string> texts_;  // index p
};

BoardDriver::BoardDriver(std::ostream& out)
    : out_(out),
      view_(std::make_unique<PrintingView>(out)),
      smallView13_(std::make_unique<PrintingView>(out)),
      smallView9_(std::make_unique<PrintingView>(out)),
      main_(std::make_unique<BoardRules>(board_, *view_)),
      small13_(std::make_unique<BoardRules>(board_, *smallView13_, BoardKind::Small)),
      small9_(std::make_unique<BoardRules>(board_, *smallView9_, BoardKind::Small)),
      dataModule_(std::make_unique<TDataModule1>()),
      store19_(std::make_unique<AdjournedGameStore>(*main_, *view_, dataModule_->Figures())),
      store13_(std::make_unique<AdjournedGameStore>(*small13_, *smallView13_, dataModule_->Figures())),
      store9_(std::make_unique<AdjournedGameStore>(*small9_, *smallView9_, dataModule_->Figures())) {
  main_->SetAdjournedGames(store19_.get());
  small13_->SetAdjournedGames(store13_.get());
  small9_->SetAdjournedGames(store9_.get());
  // As the program starts: an empty board in the view layout, free mode.
  // (The small windows' own clears at start-up print nothing here.)
  main_->ClearBoard();
  board_.AppMode = kAppView;
  board_.PlayMode = kPlayFree;
  board_.LineCount = kMaxLines;
  board_.PointCount = kMaxPoints;
  main_->SelectPlayModeButton(kPlayFree);
}

BoardRules& BoardDriver::Active() {
  return lines_ == 13 ? *small13_ : lines_ == 9 ? *small9_ : *main_;
}

void BoardDriver::SwitchTo(int lines) {
  if (lines == lines_ && lines != 19) {
    Active().BeginSmallGame();  // opening the window again
    return;
  }
  if (lines == lines_) return;
  if (lines_ != 19) {
    // Closing the small window: the main board is cleared so that its
    // display and the shared state agree again.
    board_.LineCount = kMaxLines;
    board_.PointCount = kMaxPoints;
    main_->ClearBoard();
  }
  lines_ = lines;
  if (lines != 19) {
    board_.LineCount = lines;
    board_.PointCount = lines * lines;
    Active().BeginSmallGame();
  }
}

AdjournedGameStore& BoardDriver::ActiveStore() {
  return lines_ == 13 ? *store13_ : lines_ == 9 ? *store9_ : *store19_;
}

BoardDriver::~BoardDriver() = default;

void BoardDriver::Execute(const std::string& line) {
  // As the program's top-level handler does: the failed command ends where
  // it failed, its message is shown, and the next command runs.
  try {
    Run(line);
  } catch (const std::exception& failure) {
    out_ << "error: " << failure.what() << "\n";
  }
}

void BoardDriver::Run(const std::string& line) {
  std::istringstream words(line);
  std::string command, first, second, extra;
  words >> command >> first >> second >> extra;
  if (command.empty()) return;

  if (command == "size") {
    if ((first == "19" || first == "13" || first == "9") && second.empty()) {
      SwitchTo(std::stoi(first));
      return;
    }
    out_ << "error: size must be 19, 13 or 9\n";
  } else if (command == "new" && first.empty()) {
    if (lines_ == 19) {
      main_->BeginGame();
    } else {
      Active().BeginSmallGame();
    }
  } else if (command == "mode" && second.empty()) {
    if (first == "alternate") {
      Active().SelectPlayModeButton(kPlayAlternate);
    } else if (first == "free") {
      Active().SelectPlayModeButton(kPlayFree);
    } else if (first == "end") {
      Active().SelectPlayModeButton(kPlayEndOfGame);
    } else {
      out_ << "error: mode must be alternate, free or end\n";
    }
  } else if (command == "click" && extra.empty()) {
    Click(first, second);
  } else if (command == "undo" && first.empty()) {
    Active().TakeBackClick();
  } else if (command == "clear" && first.empty()) {
    Active().ClearClick();
  } else if (command == "count" && first.empty()) {
    Active().CountClick();
  } else if (command == "save" && first.empty()) {
    ActiveStore().Save1Click();
  } else if (command == "restore" && first.empty()) {
    ActiveStore().N2Click();
  } else if (command == "print" && first.empty()) {
    Print();
  } else {
    out_ << "error: unknown command: " << line << "\n";
  }
}

void BoardDriver::Click(const std::string& pointText, const std::string& buttonText) {
  int p = 0;
  const char* end = pointText.data() + pointText.size();
  const auto [rest, ec] = std::from_chars(pointText.data(), end, p);
  if (pointText.empty() || ec != std::errc() || rest != end || p < 1 || p > board_.PointCount) {
    out_ << "error: point must be a number from 1 to " << board_.PointCount << "\n";
    return;
  }
  // The main window knows only which button went down; Shift matters on the
  // small boards alone.
  const bool shift = buttonText.rfind("shift-", 0) == 0;
  MouseButton button;
  if (buttonText.empty() || buttonText == "left" || buttonText == "shift-left") {
    button = MouseButton::Left;
  } else if (buttonText == "right" || buttonText == "shift-right") {
    button = MouseButton::Right;
  } else {
    out_ << "error: button must be left, right, shift-left or shift-right\n";
    return;
  }
  Active().BoardClick(p, button, shift);
}

void BoardDriver::Print() {
  const int n = board_.LineCount;
  for (int row = 0; row < n; ++row) {
    std::string line(n, '.');
    for (int column = 0; column < n; ++column) {
      const int value = board_.Cell(column * n + row + 1);
      if (value == kBlack || value == -kBlack) line[column] = 'X';
      if (value == kWhite || value == -kWhite) line[column] = 'O';
    }
    out_ << line << "\n";
  }
  out_ << "moves " << board_.MoveCount << " number " << board_.MoveNumber << " next "
       << board_.CurrentColour << " black-taken " << board_.BlackStonesTaken << " white-taken "
       << board_.WhiteStonesTaken << "\n";
}

}  // namespace momiro
