#include "bench/ingest/bench_files.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace qvbench {

namespace fs = std::filesystem;

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

bool TempFolder::Create(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) return false;
  path_ = buffer.data();
  return true;
}

bool MakeEmptyFolder(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  return fs::create_directory(path, ec) && !ec;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

uint64_t FolderBytes(const std::string& folder) {
  std::error_code ec;
  uint64_t total = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code size_ec;
    if (!it->is_regular_file(size_ec)) continue;
    const uintmax_t size = it->file_size(size_ec);
    if (!size_ec) total += size;
  }
  return total;
}

uint64_t FileBytes(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  // The file is a few dozen short lines; the bound guards against anything unexpected.
  for (int i = 0; i < 256 && std::getline(status, line); ++i) {
    if (line.rfind("VmRSS:", 0) != 0) continue;
    char* end = nullptr;
    const long kib = std::strtol(line.c_str() + 6, &end, 10);
    return end != line.c_str() + 6 ? kib : -1;
  }
  return -1;
}

std::string ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string FirstLine(const std::string& path, size_t max_chars) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return "";
  if (line.size() > max_chars) line.resize(max_chars);
  return line;
}

}  // namespace qvbench
