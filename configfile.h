#pragma once
// Reads and writes the block text format: statements ended by ';', '{' or
// '}', each holding a label and an optional value, quoted or bare; a '#' that
// is the first non-blank character of a line starts a comment. The text is
// parsed into a tree of ConfigNode_ under a root labelled "Root Node".
#include "confignode.h"

#include <cstdint>
#include <string>

class ConfigFile_ {
public:
    enum errorCode_ : int32_t {
        none = 0,
        oversizedString = 1,        // statement or token longer than 255 characters
        unbalancedParantheses = 2,  // '}' with no open block, or '{' with nothing to reopen
        tooManyStrings = 3,         // a third token in a statement
        unexpectedEOF = 4,          // text after the last terminator, or a block left open
        readError = 5,              // the file cannot be opened or read
        oversizedFile = 6,          // more than maxFileSize characters
        unwritableNode = 7,         // the tree holds a node that would not read back
        writeError = 8              // the file cannot be created or written
    };

    // Most characters a statement may hold before its terminator.
    static constexpr int32_t maxStatement = 255;
    // Largest text accepted for parsing.
    static constexpr int32_t maxFileSize = 16 * 1024 * 1024;

    ConfigFile_();
    ~ConfigFile_();
    ConfigFile_(const ConfigFile_&) = delete;
    ConfigFile_& operator=(const ConfigFile_&) = delete;

    // Loads the whole file (a CR LF pair is read as LF) and parses it. When
    // the file cannot be read or is too large the tree is left as it was.
    bool readFile(const std::string& path);
    // Parses `text` as if it were a file's contents.
    bool setFileData(const std::string& text);
    // Writes the root's children to `path`. A tree that would not read back
    // as it is (see unwritableNode) is refused and nothing is written. The
    // text goes to a temporary file in the same folder that replaces `path`
    // only once complete, so a failed save leaves the old file whole.
    bool writeFile(const std::string& path);

    ConfigNode_* getRoot() { return Root; }
    // Result of the last read, parse or write.
    errorCode_ getErrorCode() const { return errorCode; }
    std::string getErrorMessage() const;
    // Prints the tree on standard output: each node as "label: value", each
    // child preceded by a line "-->", depth first.
    void writeTree() const;

private:
    bool parse();
    bool readStatement();
    bool store(int32_t offset);
    void applyStatement();
    bool checkWritable();
    bool fail(errorCode_ code, int32_t offset = -1);

    ConfigNode_* Root;
    char line[maxStatement];            // the statement being parsed
    int32_t lineoffset[maxStatement];   // where each character of `line` stands in `data`
    std::string data;                   // the whole text being parsed
    int32_t linelength = 0;
    int32_t linepos = 0;
    int32_t datapos = 0;
    int32_t fsize = 0;
    int32_t firstoffset = -1;           // first non-blank character of the statement
    char terminator = 0;
    int32_t terminatoroffset = 0;
    ConfigNode_* current = nullptr;     // the block new nodes go into
    ConfigNode_* lastcreated = nullptr; // what a lone '{' reopens
    int32_t openblocks = 0;             // '{' read and not yet closed
    errorCode_ errorCode = none;
    int32_t errorLine = 0;
    int32_t errorColumn = 0;
    std::string errorDetail;
};
