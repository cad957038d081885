// A fresh folder under the system temp folder for one test, removed with
// everything in it when the test ends; small file helpers around it.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class ScratchFolder {
public:
  ScratchFolder()
  {
    std::string base = std::filesystem::temp_directory_path().string() + "/quilltestXXXXXX";
    if (!::mkdtemp(base.data()))
      throw std::runtime_error("mkdtemp failed");
    path_ = base + "/";
  }
  ~ScratchFolder()
  {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, ending with '/'.
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + std::string(name); }

  // Writes a file in the folder and gives its full path.
  std::string write(std::string_view name, std::string_view bytes) const
  {
    const std::string p = file(name);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
      throw std::runtime_error("cannot write " + p);
    return p;
  }

  // Names of the files in the folder, sorted.
  std::vector<std::string> names() const
  {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

private:
  std::string path_;
};

inline std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
