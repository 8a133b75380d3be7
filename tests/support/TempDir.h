// A fresh folder for files a test writes; removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

class TempDir {
  public:
    TempDir() {
        namespace fs = std::filesystem;
        std::random_device random;
        for (;;) {
            const fs::path candidate =
                fs::temp_directory_path() / ("quorvy-test-" + std::to_string(random()));
            if (fs::create_directory(candidate)) {
                path_ = candidate.string();
                return;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(File(name), std::ios::binary) << content;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

  private:
    std::string path_;
};
