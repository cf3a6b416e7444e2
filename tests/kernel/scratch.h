#pragma once
// Scratch files and folders for tests: unique paths in the system's temporary
// directory, removed again when the test ends, and files read back.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace scratch {

class Path {
public:
    explicit Path(const std::string& stem = "pls", const std::string& suffix = ".txt") {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                (stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + suffix);
    }
    Path(const Path&) = delete;
    Path& operator=(const Path&) = delete;
    ~Path() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
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

// The numbers of a line.
inline std::vector<double> numbers(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> out;
    for (double v; in >> v;) out.push_back(v);
    return out;
}

inline std::vector<std::vector<double>> readrows(const std::string& path) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : readlines(path)) rows.push_back(numbers(line));
    return rows;
}

}  // namespace scratch
