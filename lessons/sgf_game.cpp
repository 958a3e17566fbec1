#include "lessons/sgf_game.h"

#include "lessons/sgf_board.h"

namespace momiro {

SgfGame SgfToGame(const SgfNode& root) {
  SgfGame game;
  game.lines = SgfBoardSize(root);
  if (game.lines != 19 && game.lines != 13 && game.lines != 9) {
    const SgfProperty* sz = root.Find("SZ");
    throw ESgfError("対局として並べられるのは19路、13路、9路の棋譜だけです（SZ[" + std::to_string(game.lines) +
                        "]）。",
                    sz != nullptr ? sz->line : 0, sz != nullptr ? sz->column : 0);
  }
  const std::string player = root.Value("PL");
  if (player == "W" || player == "w") game.toPlay = kWhite;

  SgfBoard board(game.lines);
  int number = 0;
  for (const SgfNode* node = &root; node != nullptr;
       node = node->Children().empty() ? nullptr : node->Children().front().get()) {
    if (const SgfProperty* erase = node->Find("AE")) {
      throw ESgfError("石を取り除く配置（AE）は対局として並べられません。", erase->line, erase->column);
    }
    for (const SgfProperty& property : node->Properties()) {
      if (property.id != "AB" && property.id != "AW") continue;
      const int colour = property.id == "AB" ? kBlack : kWhite;
      for (SgfPoint point : ExpandPointList(property, game.lines)) {
        const int p = BoardPointOf(point, game.lines);
        if (!board.Play(colour, p)) {
          throw ESgfError("石のある点 " + SgfPointText(point) + " に置いています。", property.line, property.column);
        }
        game.moves.push_back(SgfGameMove{colour, p, 0});
      }
    }
    for (const char* id : {"B", "W"}) {
      const SgfProperty* move = node->Find(id);
      if (move == nullptr) continue;
      const std::string value = move->values.empty() ? std::string() : move->values.front();
      SgfPoint point;
      bool pass = false;
      if (!ParseSgfMove(value, game.lines, point, pass) || (!pass && (point.x >= game.lines || point.y >= game.lines))) {
        throw ESgfError(std::string(id) + "[" + value + "] は盤の点ではありません。", move->line, move->column);
      }
      const int colour = id[0] == 'B' ? kBlack : kWhite;
      game.toPlay = OtherColour(colour);
      if (pass) continue;
      const int p = BoardPointOf(point, game.lines);
      if (!board.Play(colour, p)) {
        throw ESgfError("石のある点 " + value + " に打っています。", move->line, move->column);
      }
      // MN[] renumbers the move (the board restarts its numbers after a
      // free stone).
      const std::string mn = node->Value("MN");
      number = !mn.empty() && mn.find_first_not_of("0123456789") == std::string::npos && mn.size() < 6
                   ? std::stoi(mn)
                   : number + 1;
      game.moves.push_back(SgfGameMove{colour, p, number});
    }
  }
  return game;
}

void PlaceSgfGame(BoardRules& rules, const SgfGame& game) {
  BoardState& board = rules.Board();
  for (const SgfGameMove& move : game.moves) {
    ++board.MoveCount;
    MoveEntry& entry = board.MoveList.Mutable(board.MoveCount);
    entry.moveNumber = move.moveNumber;
    entry.colour = move.colour;
    entry.point = move.point;
    board.MoveNumber = move.moveNumber;  // a free stone leaves 0, as free play does
    board.CurrentColour = move.colour;
    board.SetCell(move.point, move.colour);
    // The capture log takes key MoveCount, so "1手戻す" restores the stones
    // each move took.
    rules.PlacePoint(move.moveNumber, move.colour, move.point, move.moveNumber > 0 ? kDrawNewestNumber : kDrawStone,
                     "");
  }
  board.CurrentColour = game.toPlay;
}

std::unique_ptr<SgfNode> BoardGameToSgf(const BoardState& board) {
  bool anyStone = false;
  for (int i = 1; i <= board.MoveCount; ++i) {
    const int colour = board.MoveList.At(i).colour;
    anyStone = anyStone || colour == kBlack || colour == kWhite;
  }
  if (!anyStone) throw ESgfError("書き出す手が盤にありません。");
  const int lines = board.LineCount;
  auto root = std::make_unique<SgfNode>();
  root->Set("FF", {"4"});
  root->Set("GM", {"1"});
  root->Set("SZ", {std::to_string(lines)});
  root->Set("CA", {"UTF-8"});
  SgfNode* node = root.get();
  int i = 1;
  // Free stones before the first move: AB and AW of the root while black
  // ones come before white ones (the root cannot keep another order).
  bool whiteSeen = false;
  auto isStone = [](const MoveEntry& entry) { return entry.colour == kBlack || entry.colour == kWhite; };
  for (; i <= board.MoveCount; ++i) {
    const MoveEntry& entry = board.MoveList.At(i);
    if (!isStone(entry)) continue;
    if (entry.moveNumber != 0 || (entry.colour == kBlack && whiteSeen)) break;
    whiteSeen = whiteSeen || entry.colour == kWhite;
    root->Add(entry.colour == kBlack ? "AB" : "AW", SgfPointText(SgfPointOf(entry.point, lines)));
  }
  int number = 0;
  for (; i <= board.MoveCount; ++i) {
    const MoveEntry& entry = board.MoveList.At(i);
    if (!isStone(entry)) continue;
    const std::string point = SgfPointText(SgfPointOf(entry.point, lines));
    node = &node->AddChild();
    if (entry.moveNumber == 0) {
      node->Set(entry.colour == kBlack ? "AB" : "AW", {point});
    } else {
      node->Set(entry.colour == kBlack ? "B" : "W", {point});
      if (entry.moveNumber != number + 1) node->Set("MN", {std::to_string(entry.moveNumber)});
      number = entry.moveNumber;
    }
  }
  return root;
}

}  // namespace momiro
