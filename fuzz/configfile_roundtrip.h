#pragma once
// The round-trip property of the block text format, shared by the fuzz target
// and the corpus replay test: any text either parses or reports a parse error;
// a parsed tree is either refused by the writer as unwritable or written, read
// back as the same tree and written again to the same bytes.
#include "configfile.h"

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace configfile_roundtrip {

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Empty when both trees hold the same labels, values, levels and structure.
inline std::string treeDifference(ConfigNode_* a, ConfigNode_* b) {
    std::vector<std::pair<ConfigNode_*, ConfigNode_*>> pending{{a, b}};
    while (!pending.empty()) {
        const auto [x, y] = pending.back();
        pending.pop_back();
        if (x->getLabel() != y->getLabel() || x->getValue() != y->getValue() ||
            x->getLevel() != y->getLevel() || x->getChildren() != y->getChildren())
            return "tree read back differs at node \"" + x->getLabel() + "\"";
        for (int i = 0; i < x->getChildren(); ++i) pending.emplace_back(x->getChild(i), y->getChild(i));
    }
    return std::string();
}

// Checks the property for `text`, using `scratch` as the file written and
// read. Returns an empty string when it holds, else what broke.
inline std::string check(const std::string& text, const std::string& scratch) {
    ConfigFile_ parsed;
    const bool ok = parsed.setFileData(text);
    const auto code = parsed.getErrorCode();
    if (ok != (code == ConfigFile_::none)) return "result and error code disagree";
    if (!ok) {
        if (code < ConfigFile_::oversizedString || code > ConfigFile_::unexpectedEOF)
            return "parse failed with code " + std::to_string(code);
        return std::string();
    }
    if (!parsed.writeFile(scratch)) {
        if (parsed.getErrorCode() == ConfigFile_::unwritableNode) return std::string();
        return "write failed: " + parsed.getErrorMessage();
    }
    const std::string written = fileBytes(scratch);
    ConfigFile_ reread;
    if (!reread.readFile(scratch)) return "written text does not read back: " + reread.getErrorMessage();
    const std::string difference = treeDifference(parsed.getRoot(), reread.getRoot());
    if (!difference.empty()) return difference;
    if (!reread.writeFile(scratch)) return "tree read back cannot be written: " + reread.getErrorMessage();
    if (fileBytes(scratch) != written) return "second writing differs from the first";
    return std::string();
}

}  // namespace configfile_roundtrip
