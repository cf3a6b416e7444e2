#pragma once
// Scratch files for tests: unique paths in the system's temporary directory,
// removed again when the test ends, and reading them back line by line.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace scratch {

class Path {
public:
    explicit Path(const std::string& stem = "pls") {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                (stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".txt");
    }
    Path(const Path&) = delete;
    Path& operator=(const Path&) = delete;
    ~Path() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

inline std::vector<std::string> readlines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace scratch
