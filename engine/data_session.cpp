#include "engine/data_session.h"

#include <strings.h>

#include <algorithm>

#include "storage/os_process.h"

namespace rudira {

namespace {

constexpr size_t kMaxTextLength = 255;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool SameKey(const std::string& a, const std::string& b) {
  const std::string x = Trimmed(a);
  const std::string y = Trimmed(b);
  return x.size() == y.size() && strncasecmp(x.c_str(), y.c_str(), x.size()) == 0;
}

}  // namespace

std::string TDataSession::NormalizeDirectory(const std::string& directory) {
  std::string text = Trimmed(directory);
  if (text.empty()) return text;
  std::replace(text.begin(), text.end(), '/', '\\');
  if (text.back() != '\\') text += '\\';
  if (text.size() > kMaxTextLength) text.resize(kMaxTextLength);
  return text;
}

TDataSession::TDataSession(bool serverSide) : serverSide_(serverSide) {
  currentDirectory_ = NormalizeDirectory(OsCurrentDirectory());
  privateDirectory_ = NormalizeDirectory(OsTempDirectory());
  settings_.PrivateDirectory = EffectivePrivateDir();
}

TDataSession::~TDataSession() {
  RemoveAllPasswords();
  databases_.clear();
}

TDataDirectory* TDataSession::OpenDatabase(const std::string& databaseName, const std::string& directory) {
  std::string key = NormalizeDirectory(directory);
  if (key.empty() && !SameKey(databaseName, "Memory")) key = currentDirectory_;
  for (const auto& database : databases_) {
    if (SameKey(database->DirectoryPath(), key)) {
      database->AddUse();
      return database.get();
    }
  }
  databases_.push_back(std::make_unique<TDataDirectory>(settings_, databaseName, key, serverSide_));
  databases_.back()->AddUse();
  return databases_.back().get();
}

void TDataSession::CloseDatabase(TDataDirectory* database) {
  auto found = std::find_if(databases_.begin(), databases_.end(),
                            [database](const auto& listed) { return listed.get() == database; });
  if (found == databases_.end()) return;
  if ((*found)->ReleaseUse() == 0) databases_.erase(found);
}

void TDataSession::AddPassword(const std::string& password) {
  if (password.empty() || HasPassword(password)) return;
  passwords_.push_back(password.substr(0, kMaxTextLength));
}

void TDataSession::RemovePassword(const std::string& password) {
  auto found = std::find(passwords_.begin(), passwords_.end(), password);
  if (found != passwords_.end()) passwords_.erase(found);
}

bool TDataSession::HasPassword(const std::string& password) const {
  return std::find(passwords_.begin(), passwords_.end(), password) != passwords_.end();
}

void TDataSession::SetPrivateDir(const std::string& directory) {
  const std::string normalized = NormalizeDirectory(directory);
  if (normalized == privateDirectory_) return;
  privateDirectory_ = normalized;
  settings_.PrivateDirectory = EffectivePrivateDir();
}

const std::string& TDataSession::EffectivePrivateDir() const {
  return privateDirectory_.empty() ? currentDirectory_ : privateDirectory_;
}

}  // namespace rudira
