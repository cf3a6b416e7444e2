#include "configfile.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isTerminator(char c) { return c == ';' || c == '{' || c == '}'; }

ConfigNode_* newRoot() {
    auto* root = new ConfigNode_();
    root->setLabel("Root Node");
    return root;
}

QString fileName(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Why a label or value would not read back as it is, or null when it would.
const char* tokenProblem(const std::string& token) {
    if (token.find_first_of(";{}\"") != std::string::npos) return "holds ';', '{', '}' or '\"'";
    for (size_t lf = token.find('\n'); lf != std::string::npos; lf = token.find('\n', lf + 1)) {
        const size_t next = token.find_first_not_of(" \t", lf + 1);
        if (next != std::string::npos && token[next] == '#')
            return "holds a line break followed by '#', which reads as a comment";
    }
    if (token.find("\r\n") != std::string::npos) return "holds a CR LF pair, which reads as LF";
    return nullptr;
}

std::string shortened(const std::string& text) {
    constexpr size_t shown = 40;
    return text.size() <= shown ? text : text.substr(0, shown) + "...";
}

}  // namespace

ConfigFile_::ConfigFile_() : Root(newRoot()) {}

ConfigFile_::~ConfigFile_() { delete Root; }

bool ConfigFile_::fail(errorCode_ code, int32_t offset) {
    errorCode = code;
    errorLine = 0;
    errorColumn = 0;
    if (offset >= 0) {
        const std::string_view before(data.data(), static_cast<size_t>(offset));
        errorLine = 1 + static_cast<int32_t>(std::count(before.begin(), before.end(), '\n'));
        const size_t lf = before.rfind('\n');
        errorColumn = offset + 1 - (lf == std::string_view::npos ? 0 : static_cast<int32_t>(lf) + 1);
    }
    return false;
}

bool ConfigFile_::readFile(const std::string& path) {
    errorDetail.clear();
    QFile file(fileName(path));
    if (!file.open(QIODevice::ReadOnly)) return fail(readError);
    if (file.size() > maxFileSize) return fail(oversizedFile);
    // A plain file arrives in one read; devices and pipes, which report no
    // size, in chunks up to the limit.
    const qint64 chunk = std::max<qint64>(file.size() + 1, 1 << 12);
    std::string text;
    for (;;) {
        const size_t had = text.size();
        text.resize(had + static_cast<size_t>(chunk));
        const qint64 got = file.read(&text[had], chunk);
        if (got < 0) return fail(readError);
        text.resize(had + static_cast<size_t>(got));
        if (text.size() > static_cast<size_t>(maxFileSize)) return fail(oversizedFile);
        if (got == 0 || (!file.isSequential() && file.atEnd())) break;
    }
    size_t kept = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[kept++] = text[i];
    text.resize(kept);
    data = std::move(text);
    return parse();
}

bool ConfigFile_::setFileData(const std::string& text) {
    errorDetail.clear();
    if (text.size() > static_cast<size_t>(maxFileSize)) return fail(oversizedFile);
    data = text;
    return parse();
}

bool ConfigFile_::parse() {
    if (Root->getChildren() > 0) {
        delete Root;
        Root = newRoot();
    }
    fsize = static_cast<int32_t>(data.size());
    datapos = 0;
    errorCode = none;
    errorLine = 0;
    errorColumn = 0;
    current = Root;
    lastcreated = nullptr;
    openblocks = 0;
    while (errorCode == none && readStatement()) applyStatement();
    // The writer closes every block, so a text that ends inside one was cut off.
    if (errorCode == none && openblocks > 0) fail(unexpectedEOF);
    data.clear();
    data.shrink_to_fit();
    return errorCode == none;
}

// Collects the characters up to the next terminator into `line`, skipping
// comments. False at the end of the text or on an error.
bool ConfigFile_::readStatement() {
    linelength = 0;
    firstoffset = -1;
    while (datapos < fsize) {
        const char c = data[datapos];
        if (isTerminator(c)) {
            terminator = c;
            terminatoroffset = datapos++;
            return true;
        }
        if (!isBlank(c)) {
            if (c == '#' && datapos == 0) {
                while (datapos < fsize && data[datapos] != '\n') ++datapos;
            } else if (!store(datapos++)) {
                return false;
            }
            continue;
        }
        // A run of blanks is dropped when the text ends after it or when a
        // comment follows; then the comment runs to the end of its line.
        int32_t end = datapos;
        bool linestart = datapos == 0;
        while (end < fsize && isBlank(data[end])) linestart |= data[end++] == '\n';
        if (end == fsize) {
            datapos = end;
        } else if (linestart && data[end] == '#') {
            datapos = end;
            while (datapos < fsize && data[datapos] != '\n') ++datapos;
        } else {
            while (datapos < end)
                if (!store(datapos++)) return false;
        }
    }
    if (linelength > 0) fail(unexpectedEOF);
    return false;
}

bool ConfigFile_::store(int32_t offset) {
    const char c = data[offset];
    if (firstoffset < 0 && !isBlank(c)) firstoffset = offset;
    if (linelength == maxStatement) {
        // Name the statement's first token; a run of blanks is always
        // followed by one.
        int32_t at = firstoffset;
        if (at < 0)
            for (at = offset; isBlank(data[at]); ++at) {}
        return fail(oversizedString, at);
    }
    line[linelength] = c;
    lineoffset[linelength++] = offset;
    return true;
}

// Splits `line` into tokens and applies the statement to the tree.
void ConfigFile_::applyStatement() {
    linepos = 0;
    int tokens = 0;
    ConfigNode_* node = nullptr;
    for (;;) {
        while (linepos < linelength && isBlank(line[linepos])) ++linepos;
        if (linepos == linelength) break;
        const int32_t start = linepos;
        int32_t begin = linepos;
        int32_t end;
        if (line[linepos] == '"') {
            begin = linepos + 1;
            const void* quote = std::memchr(line + begin, '"', static_cast<size_t>(linelength - begin));
            end = quote != nullptr ? static_cast<int32_t>(static_cast<const char*>(quote) - line) : linelength;
            linepos = quote != nullptr ? end + 1 : linelength;
        } else {
            while (linepos < linelength && !isBlank(line[linepos])) ++linepos;
            end = linepos;
        }
        const std::string token(line + begin, static_cast<size_t>(end - begin));
        if (++tokens == 1) {
            node = current->addChild(token, std::string());
            lastcreated = node;
        } else if (tokens == 2) {
            node->setValue(token);
        } else {
            fail(tooManyStrings, lineoffset[start]);
            return;
        }
    }
    if (terminator == '{') {
        if (node == nullptr) node = lastcreated;
        if (node == nullptr) {
            fail(unbalancedParantheses, terminatoroffset);
            return;
        }
        current = node;
        ++openblocks;
    } else if (terminator == '}') {
        if (current->getParent() == nullptr) {
            fail(unbalancedParantheses, terminatoroffset);
            return;
        }
        current = current->getParent();
        --openblocks;
    }
}

// Refuses trees the reader would not give back as they are: a label or value
// the reader would cut or change, or a line longer than a statement may be.
bool ConfigFile_::checkWritable() {
    bool first = true;
    std::vector<const ConfigNode_*> pending;
    for (int i = Root->getChildren() - 1; i >= 0; --i) pending.push_back(Root->getChild(i));
    while (!pending.empty()) {
        const ConfigNode_* node = pending.back();
        pending.pop_back();
        const bool block = node->getChildren() > 0;
        // Line end, indentation, both quoted tokens and the blank between
        // them, and the blank before '{'.
        const int64_t statement = (first ? 0 : 1) + std::max<int64_t>(node->getLevel() - 1, 0) +
                                  static_cast<int64_t>(node->getLabel().size() + node->getValue().size()) +
                                  5 + (block ? 1 : 0);
        const int64_t closing = 1 + std::max<int64_t>(node->getLevel(), 0);
        first = false;
        std::string problem;
        if (const char* why = tokenProblem(node->getLabel())) {
            problem = std::string("its label ") + why;
        } else if (const char* why = tokenProblem(node->getValue())) {
            problem = std::string("its value ") + why;
        } else if (statement > maxStatement || (block && closing > maxStatement)) {
            problem = "its line would be longer than 255 characters";
        }
        if (!problem.empty()) {
            errorDetail = "Unwritable node \"" + shortened(node->getLabel()) + "\": " + problem + ".";
            return fail(unwritableNode);
        }
        for (int i = node->getChildren() - 1; i >= 0; --i) pending.push_back(node->getChild(i));
    }
    return true;
}

bool ConfigFile_::writeFile(const std::string& path) {
    errorDetail.clear();
    if (!checkWritable()) return false;
    std::ostringstream text;
    for (int i = 0; i < Root->getChildren(); ++i)
        if (!Root->getChild(i)->write(&text)) return fail(writeError);
    const std::string bytes = text.str();
    QSaveFile file(fileName(path));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        errorDetail = file.errorString().toStdString();
        return fail(writeError);
    }
    errorCode = none;
    errorLine = 0;
    errorColumn = 0;
    return true;
}

std::string ConfigFile_::getErrorMessage() const {
    const std::string position =
        " at line " + std::to_string(errorLine) + " column " + std::to_string(errorColumn) + ".";
    switch (errorCode) {
    case none: return "No error occured.";
    case oversizedString: return "Oversized string" + position;
    case unbalancedParantheses: return "Unbalanced parantheses" + position;
    case tooManyStrings: return "Too many strings in line" + position;
    case unexpectedEOF: return "Unexpected end of file.";
    case readError: return "Unable to read from file.";
    case oversizedFile: return "File too large: more than " + std::to_string(maxFileSize >> 20) + " MiB.";
    case unwritableNode: return errorDetail;
    case writeError:
        return errorDetail.empty() ? "Unable to write to file." : "Unable to write to file: " + errorDetail + ".";
    }
    return std::string();
}

void ConfigFile_::writeTree() const {
    std::vector<const ConfigNode_*> pending{Root};
    while (!pending.empty()) {
        const ConfigNode_* node = pending.back();
        pending.pop_back();
        if (node != Root) std::cout << "-->\n";
        std::cout << node->getLabel() << ": " << node->getValue() << '\n';
        for (int i = node->getChildren() - 1; i >= 0; --i) pending.push_back(node->getChild(i));
    }
    std::cout.flush();
}
