#include "configfile.h"
#include "fuzz/configfile_roundtrip.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using configfile_roundtrip::fileBytes;

// Compact picture of a subtree: label, "=value" when there is one, children
// in parentheses, siblings separated by commas.
std::string outline(const ConfigNode_* node) {
    std::string text;
    for (int i = 0; i < node->getChildren(); ++i) {
        const ConfigNode_* child = node->getChild(i);
        if (i > 0) text += ",";
        text += child->getLabel();
        if (!child->getValue().empty()) text += "=" + child->getValue();
        if (child->getChildren() > 0) text += "(" + outline(child) + ")";
    }
    return text;
}

void putFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

const std::string x253(253, 'x');

// One file object parses every text in turn: each parse replaces the tree.
TEST(ConfigReader, ReadsStatementsBlocksAndComments) {
    const struct { std::string text, tree; } cases[] = {
        {"a b;", "a=b"}, {"a;", "a"}, {"\"x y\"\"\";", "x y"}, {"a\"b c\";", "a\"b=c\""},
        {"\"multi\nline\" \"tab\there\";", "multi\nline=tab\there"}, {"\"open quote;", "open quote"},
        {"; ;\n;", ""}, {"\"\" \"\"; b\r c\r;", ",b\r=c\r"}, {"", ""},
        // A lone '{' reopens the node created last.
        {"a { b; c { d; } }", "a(b,c(d))"}, {"a; { b; }", "a(b)"}, {"a { b { c; } } { d; }", "a(b(c(d)))"},
        {"a { b }  e;", "a(b),e"},
        // '#' starts a comment only as the first non-blank character of a line.
        {"# note\na;", "a"}, {"a\n  \n\t# inside a statement\n b;", "a=b"}, {"a;#b;", "a,#b"},
        {"k \"x\n# the rest of this line is lost\n y\";", "k=x\n y"}, {"a;\n  \n# trailing comment", "a"},
        // 255 characters to the terminator, line end and indentation counted, comments not.
        {x253 + "xx;", x253 + "xx"}, {"a;\n\t" + x253 + ";", "a," + x253},
        {"a;\n# " + std::string(400, 'c') + "\n\n" + x253 + ";", "a," + x253}, {"a;" + std::string(1000, '\n'), "a"},
    };
    ConfigFile_ file;
    for (const auto& c : cases) {
        EXPECT_TRUE(file.setFileData(c.text)) << file.getErrorMessage();
        EXPECT_EQ(outline(file.getRoot()), c.tree) << c.text;
    }
    EXPECT_EQ(file.getRoot()->getLabel(), "Root Node");
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::none);
    EXPECT_EQ(file.getErrorMessage(), "No error occured.");
}

// A failed parse keeps the nodes read before the fault.
TEST(ConfigReader, ErrorsNameTheirPositionAndKeepTheNodesRead) {
    const struct { std::string text; ConfigFile_::errorCode_ code; std::string message, tree; } cases[] = {
        {"a b c;", ConfigFile_::tooManyStrings, "Too many strings in line at line 1 column 5.", "a=b"},
        {"x;\n  a b\n  c;\ny;", ConfigFile_::tooManyStrings, "Too many strings in line at line 3 column 3.", "x,a=b"},
        {"a # b;", ConfigFile_::tooManyStrings, "Too many strings in line at line 1 column 5.", "a=#"},
        {"a b;\nc d", ConfigFile_::unexpectedEOF, "Unexpected end of file.", "a=b"},
        // A text that ends inside a block was cut off, however much of it is whole.
        {"a { b { c;", ConfigFile_::unexpectedEOF, "Unexpected end of file.", "a(b(c))"},
        {"Setup Main { Cavity C { Loss 3;", ConfigFile_::unexpectedEOF, "Unexpected end of file.", "Setup=Main(Cavity=C(Loss=3))"},
        {"a {", ConfigFile_::unexpectedEOF, "Unexpected end of file.", "a"},
        {"a; { b; } {\n", ConfigFile_::unexpectedEOF, "Unexpected end of file.", "a(b)"},
        {"a;\n b }", ConfigFile_::unbalancedParantheses, "Unbalanced parantheses at line 2 column 4.", "a,b"},
        {"  { a; }", ConfigFile_::unbalancedParantheses, "Unbalanced parantheses at line 1 column 3.", ""},
        {x253 + "xxx;", ConfigFile_::oversizedString, "Oversized string at line 1 column 1.", ""},
        {"a;\n\t" + x253 + "x;", ConfigFile_::oversizedString, "Oversized string at line 2 column 2.", "a"},
        {"a;" + std::string(256, '\n') + "b;", ConfigFile_::oversizedString, "Oversized string at line 257 column 1.", "a"},
    };
    ConfigFile_ file;
    for (const auto& c : cases) {
        EXPECT_FALSE(file.setFileData(c.text)) << c.text;
        EXPECT_EQ(file.getErrorCode(), c.code) << c.text;
        EXPECT_EQ(file.getErrorMessage(), c.message);
        EXPECT_EQ(outline(file.getRoot()), c.tree) << c.text;
    }
}

TEST(ConfigReader, AnyNestingDepthIsReadDestroyedAndRefusedByTheWriter) {
    constexpr int depth = 500000;
    QTemporaryDir dir;
    const std::string path = dir.filePath("deep.config").toStdString();
    {
        std::string text;
        for (int i = 0; i < depth; ++i) text += "a{";
        text.append(depth, '}');
        ConfigFile_ file;
        ASSERT_TRUE(file.setFileData(text));
        const ConfigNode_* node = file.getRoot();
        while (node->getChildren() > 0) node = node->getChild(0);
        EXPECT_EQ(node->getLevel(), depth);
        EXPECT_EQ(file.getRoot()->findChild("b"), nullptr);
        EXPECT_FALSE(file.writeFile(path));
        EXPECT_EQ(file.getErrorCode(), ConfigFile_::unwritableNode);
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

TEST(ConfigFileIO, UnreadableFilesLeaveTheTreeAsItWas) {
    QTemporaryDir dir;
    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("kept;"));
    EXPECT_FALSE(file.readFile(dir.filePath("missing.config").toStdString()));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::readError);
    EXPECT_EQ(file.getErrorMessage(), "Unable to read from file.");
    EXPECT_FALSE(file.readFile(dir.path().toStdString()));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::readError);

    const QString huge = dir.filePath("huge.config");
    {
        QFile out(huge);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_TRUE(out.resize(ConfigFile_::maxFileSize + 1));
    }
    EXPECT_FALSE(file.readFile(huge.toStdString()));
    EXPECT_EQ(file.getErrorMessage(), "File too large: more than 16 MiB.");
    EXPECT_FALSE(file.readFile("/dev/zero"));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::oversizedFile);
    EXPECT_FALSE(file.setFileData(std::string(ConfigFile_::maxFileSize + 1, ' ')));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::oversizedFile);
    EXPECT_EQ(outline(file.getRoot()), "kept");
}

TEST(ConfigFileIO, ReadFileTakesCrLfAsLfAndKeepsOtherCarriageReturns) {
    QTemporaryDir dir;
    const QString path = dir.filePath("crlf.config");
    putFile(path, "a b;\r\n# comment\r\nc\rd {\r\n\te;\r\n}\r\n");
    ConfigFile_ file;
    ASSERT_TRUE(file.readFile(path.toStdString())) << file.getErrorMessage();
    EXPECT_EQ(outline(file.getRoot()), "a=b,c\rd(e)");
    putFile(path, "a;\r\n\r\nb c d;");
    EXPECT_FALSE(file.readFile(path.toStdString()));
    EXPECT_EQ(file.getErrorMessage(), "Too many strings in line at line 3 column 5.");
}

TEST(ConfigWriter, WritesTabsQuotesAndLineFeedsExactly) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("written.config").toStdString();
    const struct { const char* text; const char* bytes; } cases[] = {
        {"Setup Main { Roundtrips 10; }", "\"Setup\" \"Main\" {\n\t\"Roundtrips\" \"10\";\n\t}\n"},
        {"a{b{c;}}d x;", "\"a\" \"\" {\n\t\"b\" \"\" {\n\t\t\"c\" \"\";\n\t\t}\n\t}\n\"d\" \"x\";\n"},
        {"", ""},
    };
    ConfigFile_ file;
    for (const auto& c : cases) {
        ASSERT_TRUE(file.setFileData(c.text));
        EXPECT_TRUE(file.writeFile(path)) << file.getErrorMessage();
        EXPECT_EQ(fileBytes(path), c.bytes);
    }
    ASSERT_TRUE(file.setFileData("a{b{c;}}"));
    std::ostringstream subtree;
    EXPECT_TRUE(file.getRoot()->getChild(0)->getChild(0)->write(&subtree));
    EXPECT_EQ(subtree.str(), "\t\"b\" \"\" {\n\t\t\"c\" \"\";\n\t\t}\n");
}

TEST(ConfigWriter, WhatItWritesReadsBackUpToTheLongestStatement) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("limits.config").toStdString();
    ConfigFile_ file;
    // A first line holds the label and value in quotes and a blank between
    // them: 5 characters besides the tokens. A nested line also has its line
    // end and one TAB, a block line also the blank before '{'.
    ConfigNode_* block = file.getRoot()->addChild(std::string(100, 'L'), std::string(149, 'V'));
    block->addChild(std::string(100, 'l'), std::string(148, 'v'));
    file.getRoot()->addChild(" \t\n x#\r y ", std::string(1, '\0') + "z\r");
    ASSERT_TRUE(file.writeFile(path)) << file.getErrorMessage();
    ConfigFile_ back;
    ASSERT_TRUE(back.readFile(path)) << back.getErrorMessage();
    EXPECT_EQ(configfile_roundtrip::treeDifference(file.getRoot(), back.getRoot()), "");

    block->setValue(std::string(150, 'V'));
    EXPECT_FALSE(file.writeFile(path));
    block->setValue(std::string(149, 'V'));
    block->getChild(0)->setValue(std::string(149, 'v'));
    EXPECT_FALSE(file.writeFile(path));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::unwritableNode);
    EXPECT_EQ(file.getErrorMessage(),
              "Unwritable node \"" + std::string(40, 'l') + "...\": its line would be longer than 255 characters.");
}

// Nothing is written for a tree that would not read back or a path that
// cannot be written; a save replaces the file whole.
TEST(ConfigWriter, RefusedOrFailedSavesLeaveTheOldFileWhole) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("old.config").toStdString();
    putFile(dir.filePath("old.config"), "old contents;\n");
    for (const std::string bad : {"a;b", "a{", "}", "say \"hi\"", "x\n# y", "x\n \t#y", "x\r\ny"}) {
        for (const bool inLabel : {true, false}) {
            ConfigFile_ file;
            file.getRoot()->addChild("Setup", "")->addChild(inLabel ? bad : "Key", inLabel ? "1" : bad);
            EXPECT_FALSE(file.writeFile(path)) << bad;
            EXPECT_EQ(file.getErrorCode(), ConfigFile_::unwritableNode);
            const std::string start = "Unwritable node \"" + (inLabel ? bad : "Key") + "\": its " +
                                      (inLabel ? "label" : "value") + " holds ";
            EXPECT_EQ(file.getErrorMessage().rfind(start, 0), 0u) << file.getErrorMessage();
        }
    }
    ConfigFile_ file;
    file.getRoot()->addChild("a", "1");
    EXPECT_FALSE(file.writeFile(dir.filePath("no/such/folder/x.config").toStdString()));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::writeError);
    EXPECT_EQ(file.getErrorMessage().rfind("Unable to write to file", 0), 0u);
    EXPECT_EQ(fileBytes(path), "old contents;\n");
    ASSERT_TRUE(file.writeFile(path));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::none);
    EXPECT_EQ(fileBytes(path), "\"a\" \"1\";\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.config"});
}

TEST(ConfigNode, LookupsAndOwnership) {
    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("a { b { x 1; } x 2; } X 3; c 2;"));
    ConfigNode_* root = file.getRoot();
    EXPECT_EQ(root->getChild("X")->getValue(), "3");
    EXPECT_EQ(root->getChild("x"), nullptr);
    EXPECT_EQ(root->findChildValue("2")->getLabel(), "c");
    EXPECT_EQ(root->findChild("x")->getValue(), "1");
    EXPECT_EQ(root->findChild("Root Node"), root);
    EXPECT_EQ(root->getChild(3), nullptr);
    EXPECT_EQ(root->findChild("b")->getParent()->getParent(), root);
    // A node made elsewhere is taken over as it is and freed with the tree.
    auto* loose = new ConfigNode_();
    root->getChild(0)->addChild(loose);
    EXPECT_EQ(loose->getLevel(), 0);
    EXPECT_EQ(root->getChild(0)->getChild(2), loose);
}

TEST(ConfigCorpus, EveryCorpusFileKeepsTheRoundTripProperty) {
    QTemporaryDir dir;
    const std::string scratch = dir.filePath("scratch.config").toStdString();
    const QDir corpus(QStringLiteral(PLS_SOURCE_DIR "/fuzz/corpus/configfile"));
    const QStringList names = corpus.entryList(QDir::Files);
    EXPECT_GE(names.size(), 10);
    for (const QString& name : names)
        EXPECT_EQ(configfile_roundtrip::check(fileBytes(corpus.filePath(name).toStdString()), scratch), "")
            << name.toStdString();
}

}  // namespace
