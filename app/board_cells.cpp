#include "app/board_cells.h"

#include "app/user_dialogs.h"

namespace momiro {
namespace {
QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
}  // namespace

TBoardCells::TBoardCells(QWidget* client, const BoardGeometry& geometry)
    : QObject(nullptr), client_(client), geometry_(geometry) {
  const int n = geometry.lines;
  new TBoardSquare(client, geometry);
  pictures_.assign(n * n + 1, nullptr);
  texts_.assign(n * n + 1, nullptr);
  for (int p = 1; p <= n * n; ++p) {
    auto* picture = new TPictureCell(client, geometry.stretchPictures);
    picture->setObjectName(QString("Image%1").arg(p));
    picture->setGeometry(geometry.PictureCellRect(p));
    pictures_[p] = picture;
  }
  for (int p = 1; p <= n * n; ++p) {
    auto* text = new TTextCell(client, p);
    text->setObjectName(QString("Label%1").arg(p));
    text->setGeometry(geometry.TextCellRect(p));
    connect(text, &TTextCell::MouseDown, this,
            [this](TTextCell* cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
              emit PointPressed(cell->Point(), button, modifiers);
            });
    texts_[p] = text;
  }
}

void TBoardCells::Attach(QLineEdit* edit1, QLineEdit* edit2, TStatusPanels* status,
                         TSoundPlayer* sound, std::array<QRadioButton*, 3> playModeButtons,
                         const std::string* programDirectory) {
  edit1_ = edit1;
  edit2_ = edit2;
  status_ = status;
  sound_ = sound;
  modeButtons_ = playModeButtons;
  programDirectory_ = programDirectory;
}

BoardDiagram TBoardCells::Diagram(const QString& caption) const {
  BoardDiagram diagram = BoardDiagram::Empty(geometry_);
  diagram.caption = caption;
  for (size_t p = 1; p < diagram.points.size(); ++p) {
    diagram.points[p].picture = pictures_[p]->Picture();
    diagram.points[p].pictureFile = pictures_[p]->PicturePath();
    diagram.points[p].text = texts_[p]->Look();
  }
  return diagram;
}

void TBoardCells::LoadPicture(int p, const std::string& path) {
  pictures_.at(p)->LoadPicture(FromUtf8(path));
}

void TBoardCells::ClearPicture(int p) {
  // The shared board state is sized for 19 lines; points beyond this
  // window's board have no cells.
  if (p < static_cast<int>(pictures_.size())) pictures_[p]->ClearPicture();
}

void TBoardCells::SetCellText(int p, const std::string& text) {
  if (p < static_cast<int>(texts_.size())) texts_[p]->setText(FromUtf8(text));
}

std::string TBoardCells::CellText(int p) const { return texts_.at(p)->text().toStdString(); }

void TBoardCells::SetCellTextColour(int p, Rgb colour) { texts_.at(p)->SetTextColour(ToQColor(colour)); }

void TBoardCells::SetCellBold(int p, bool bold) { texts_.at(p)->SetBold(bold); }

void TBoardCells::SetCellTransparent(int p) {
  if (p < static_cast<int>(texts_.size())) texts_[p]->SetTransparent();
}

void TBoardCells::SetCellOpaque(int p, Rgb background) { texts_.at(p)->SetOpaque(ToQColor(background)); }

void TBoardCells::ShowPrisoners(int box, int count) {
  QLineEdit* edit = box == kBlackPrisonerBox ? edit1_ : edit2_;
  if (edit != nullptr) edit->setText(QString::number(count));
}

void TBoardCells::SetStatusText(int panel, const std::string& text) {
  if (status_ != nullptr) status_->SetPanelText(panel, FromUtf8(text));
}

void TBoardCells::PlaySound(int which) {
  if (sound_ == nullptr || programDirectory_ == nullptr) return;
  sound_->Play(FromUtf8(*programDirectory_ + (which == kStoneSound ? "Oto1.wav" : "Oto2.wav")));
}

void TBoardCells::ShowMessage(const std::string& text) {
  TUserDialogs::ShowMessage(client_->window(), FromUtf8(text));
}

void TBoardCells::ShowPlayModeButton(int mode) {
  if (mode < 1 || mode > 3 || modeButtons_[mode - 1] == nullptr) return;
  QRadioButton* button = modeButtons_[mode - 1];
  const QSignalBlocker block(button);
  button->setChecked(true);
}

}  // namespace momiro
