#include "storage/os_process.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace rudira {

namespace {

std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace

uint64_t OsTickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t OsCurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

void OsSleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string OsTempDirectory() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::temp_directory_path(error);
  if (error) return "/tmp/";
  return WithTrailingSlash(path.string());
}

std::string OsCurrentDirectory() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::current_path(error);
  if (error) return std::string();
  return WithTrailingSlash(path.string());
}

std::string OsPlatformVersion() {
  struct utsname name {};
  if (::uname(&name) != 0) return "Linux";
  return std::string(name.sysname) + " " + name.release;
}

}  // namespace rudira
