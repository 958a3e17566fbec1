#include "app/help_viewer.h"

#include <QFile>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/cell_widgets.h"
#include "app/user_dialogs.h"

namespace momiro {
namespace {

QString U(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

QString Paragraphs(const std::string& body) {
  QString html;
  for (const QString& para : U(body).split("\n\n")) {
    html += "<p>" + para.toHtmlEscaped().replace('\n', "<br>") + "</p>";
  }
  return html;
}

}  // namespace

THelpViewer::THelpViewer(QWidget* owner)
    : QWidget(nullptr, Qt::Window), owner_(owner), browser_(new QTextBrowser(this)) {
  setObjectName("HelpViewer");
  setWindowTitle(QString::fromUtf8("Momiro ヘルプ"));
  resize(520, 560);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  QFont font(QString::fromUtf8(kUiFontFamily));
  font.setPixelSize(14);
  browser_->setFont(font);
  browser_->setOpenLinks(false);
  // Esc closes the help window, wherever its focus is.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setObjectName("HelpEscape");
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() == "topic") {
      ShowTopic(url.path().toInt());
    } else {
      ShowContents();
    }
  });
}

bool THelpViewer::Load() {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) {
    TUserDialogs::ShowMessage(owner_, QString::fromUtf8("ヘルプファイル \"%1\" を開けません。").arg(path_));
    return false;
  }
  const QByteArray bytes = f.readAll();
  std::string error;
  std::optional<HelpFile> parsed = ParseHelpFile(bytes.toStdString(), &error);
  if (!parsed) {
    TUserDialogs::ShowMessage(owner_, QString::fromUtf8("ヘルプファイル \"%1\" が壊れています（%2）。")
                                          .arg(path_, U(error)));
    return false;
  }
  file_ = std::move(*parsed);
  return true;
}

void THelpViewer::ShowPage(const QString& html) {
  browser_->setHtml(html);
  show();
  raise();
}

void THelpViewer::ShowContents() {
  if (Load()) ShowContentsPage();
}

void THelpViewer::ShowContentsPage() {
  QString html = "<h2>" + U(file_.contentsTitle).toHtmlEscaped() + "</h2>" + Paragraphs(file_.introduction);
  html += "<ul>";
  for (const HelpTopic& topic : file_.topics) {
    html += QString("<li><a href=\"topic:%1\">%2</a></li>").arg(topic.number).arg(U(topic.title).toHtmlEscaped());
  }
  html += "</ul>";
  ShowPage(html);
}

void THelpViewer::ShowTopic(int number) {
  if (!Load()) return;
  const HelpTopic* topic = file_.Find(number);
  if (topic == nullptr) {
    ShowContentsPage();
    return;
  }
  ShowPage("<p><a href=\"contents:\">" + QString::fromUtf8("目次") + "</a></p><h2>" +
           U(topic->title).toHtmlEscaped() + "</h2>" + Paragraphs(topic->body));
}

QString THelpViewer::ShownText() const { return browser_->toPlainText(); }

}  // namespace momiro
