#include "app/board_geometry.h"

#include <cassert>

#include "board/point_geometry.h"

namespace momiro {

BoardGeometry MainBoardGeometry() {
  return {19, {0, 0}, 536, {16, 16}, {2, 2}, {4, 9},
          {{4, 4}, {4, 10}, {4, 16}, {10, 4}, {10, 10}, {10, 16}, {16, 4}, {16, 10}, {16, 16}},
          true};
}

BoardGeometry ThirteenLineGeometry() {
  return {13, {80, 88}, 368, {96, 104}, {82, 90}, {84, 98},
          {{4, 4}, {4, 10}, {10, 4}, {10, 10}, {7, 7}}, false};
}

BoardGeometry NineLineGeometry() {
  return {9, {112, 120}, 256, {128, 136}, {114, 122}, {116, 130}, {{5, 5}}, false};
}

QRect BoardGeometry::PictureCellRect(int p) const {
  assert(p >= 1 && p <= lines * lines);
  return {pictureOrigin.x() + kBoardPitch * PointColumn(p, lines),
          pictureOrigin.y() + kBoardPitch * PointRow(p, lines), kPictureCellSize, kPictureCellSize};
}

QRect BoardGeometry::TextCellRect(int p) const {
  assert(p >= 1 && p <= lines * lines);
  return {textOrigin.x() + kBoardPitch * PointColumn(p, lines),
          textOrigin.y() + kBoardPitch * PointRow(p, lines), kTextCellWidth, kTextCellHeight};
}

}  // namespace momiro
