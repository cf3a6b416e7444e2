#include "configfile.h"
#include "fuzz/configfile_roundtrip.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

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

std::string parsed(const std::string& text) {
    ConfigFile_ file;
    EXPECT_TRUE(file.setFileData(text)) << file.getErrorMessage();
    return outline(file.getRoot());
}

std::string fileBytes(const QString& path) { return configfile_roundtrip::fileBytes(path.toStdString()); }

void putFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string written(ConfigFile_& file, const QTemporaryDir& dir) {
    const QString path = dir.filePath("written.config");
    EXPECT_TRUE(file.writeFile(path.toStdString())) << file.getErrorMessage();
    return fileBytes(path);
}

TEST(ConfigReader, StatementsHoldQuotedOrBareLabelAndValue) {
    EXPECT_EQ(parsed("a b;"), "a=b");
    EXPECT_EQ(parsed("a;"), "a");
    EXPECT_EQ(parsed("\"x y\"\"\";"), "x y");
    EXPECT_EQ(parsed("a\"b c\";"), "a\"b=c\"");
    EXPECT_EQ(parsed("\"multi\nline\" \"tab\there\";"), "multi\nline=tab\there");
    EXPECT_EQ(parsed("\"open quote;"), "open quote");
    EXPECT_EQ(parsed("; ;\n;"), "");

    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("\"\" \"\"; b\r c\r;"));
    ASSERT_EQ(file.getRoot()->getChildren(), 2);
    EXPECT_EQ(file.getRoot()->getChild(0)->getLabel(), "");
    EXPECT_EQ(file.getRoot()->getChild(1)->getLabel(), "b\r");
    EXPECT_EQ(file.getRoot()->getChild(1)->getValue(), "c\r");
}

TEST(ConfigReader, BlocksNestAndALoneBraceReopensTheLastNode) {
    EXPECT_EQ(parsed("a { b; c { d; } }"), "a(b,c(d))");
    EXPECT_EQ(parsed("a; { b; }"), "a(b)");
    EXPECT_EQ(parsed("a { b { c; } } { d; }"), "a(b(c(d)))");
    EXPECT_EQ(parsed("a { b }  e;"), "a(b),e");
    EXPECT_EQ(parsed("a { b { c;"), "a(b(c))");

    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("a { b { c; } }"));
    const ConfigNode_* c = file.getRoot()->findChild("c");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->getLevel(), 3);
    EXPECT_EQ(c->getParent()->getParent()->getParent(), file.getRoot());
}

TEST(ConfigReader, HashStartsACommentOnlyAsTheFirstNonBlankOfALine) {
    EXPECT_EQ(parsed("# note\na;"), "a");
    EXPECT_EQ(parsed("a\n  \n\t# inside a statement\n b;"), "a=b");
    EXPECT_EQ(parsed("a;#b;"), "a,#b");
    EXPECT_EQ(parsed("k \"x\n# the rest of this line is lost\n y\";"), "k=x\n y");
    EXPECT_EQ(parsed("a;\n  \n# trailing comment"), "a");

    ConfigFile_ file;
    EXPECT_FALSE(file.setFileData("a # b;"));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::tooManyStrings);
}

TEST(ConfigReader, ErrorsKeepTheNodesReadAndNameTheirPosition) {
    ConfigFile_ file;
    EXPECT_EQ(file.getErrorMessage(), "No error occured.");

    EXPECT_FALSE(file.setFileData("a b c;"));
    EXPECT_EQ(file.getErrorMessage(), "Too many strings in line at line 1 column 5.");
    EXPECT_EQ(outline(file.getRoot()), "a=b");

    EXPECT_FALSE(file.setFileData("x;\n  a b\n  c;\ny;"));
    EXPECT_EQ(file.getErrorMessage(), "Too many strings in line at line 3 column 3.");
    EXPECT_EQ(outline(file.getRoot()), "x,a=b");

    EXPECT_FALSE(file.setFileData("a b;\nc d"));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::unexpectedEOF);
    EXPECT_EQ(file.getErrorMessage(), "Unexpected end of file.");
    EXPECT_EQ(outline(file.getRoot()), "a=b");

    EXPECT_FALSE(file.setFileData("a;\n b }"));
    EXPECT_EQ(file.getErrorMessage(), "Unbalanced parantheses at line 2 column 4.");
    EXPECT_EQ(outline(file.getRoot()), "a,b");

    EXPECT_FALSE(file.setFileData("  { a; }"));
    EXPECT_EQ(file.getErrorMessage(), "Unbalanced parantheses at line 1 column 3.");

    EXPECT_TRUE(file.setFileData("a;"));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::none);
}

TEST(ConfigReader, StatementLimitCountsLineEndAndIndentationButNotComments) {
    const std::string x253(253, 'x');
    ConfigFile_ file;
    EXPECT_TRUE(file.setFileData(x253 + "xx;"));
    EXPECT_FALSE(file.setFileData(x253 + "xxx;"));
    EXPECT_EQ(file.getErrorMessage(), "Oversized string at line 1 column 1.");

    EXPECT_TRUE(file.setFileData("a;\n\t" + x253 + ";"));
    EXPECT_FALSE(file.setFileData("a;\n\t" + x253 + "x;"));
    EXPECT_EQ(file.getErrorMessage(), "Oversized string at line 2 column 2.");
    EXPECT_EQ(outline(file.getRoot()), "a");

    EXPECT_TRUE(file.setFileData("a;\n# " + std::string(400, 'c') + "\n\n" + x253 + ";"));
    EXPECT_FALSE(file.setFileData("a;" + std::string(256, '\n') + "b;"));
    EXPECT_EQ(file.getErrorMessage(), "Oversized string at line 257 column 1.");
    EXPECT_TRUE(file.setFileData("a;" + std::string(1000, '\n')));
}

TEST(ConfigReader, ParsingReplacesTheTreeAndEmptyTextGivesAnEmptyTree) {
    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("a { b; }"));
    ASSERT_TRUE(file.setFileData("c;"));
    EXPECT_EQ(outline(file.getRoot()), "c");
    ASSERT_TRUE(file.setFileData(""));
    EXPECT_EQ(file.getRoot()->getChildren(), 0);
    EXPECT_EQ(file.getRoot()->getLabel(), "Root Node");
}

TEST(ConfigReader, AnyNestingDepthIsReadDestroyedAndRefusedByTheWriter) {
    constexpr int depth = 500000;
    QTemporaryDir dir;
    const std::string path = dir.filePath("deep.config").toStdString();
    {
        std::string text;
        for (int i = 0; i < depth; ++i) text += "a{";
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
    ConfigFile_ file;
    file.getRoot()->addChild("Setup", "Main")->addChild("Roundtrips", "10");
    EXPECT_EQ(written(file, dir), "\"Setup\" \"Main\" {\n\t\"Roundtrips\" \"10\";\n\t}\n");

    ASSERT_TRUE(file.setFileData("a { b; }"));
    EXPECT_EQ(written(file, dir), "\"a\" \"\" {\n\t\"b\" \"\";\n\t}\n");

    ASSERT_TRUE(file.setFileData("a{b{c;}}d x;"));
    EXPECT_EQ(written(file, dir),
              "\"a\" \"\" {\n\t\"b\" \"\" {\n\t\t\"c\" \"\";\n\t\t}\n\t}\n\"d\" \"x\";\n");

    std::ostringstream subtree;
    EXPECT_TRUE(file.getRoot()->getChild(0)->getChild(0)->write(&subtree));
    EXPECT_EQ(subtree.str(), "\t\"b\" \"\" {\n\t\t\"c\" \"\";\n\t\t}\n");

    ASSERT_TRUE(file.setFileData(""));
    EXPECT_EQ(written(file, dir), "");
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
    EXPECT_EQ(file.getErrorMessage(), "Unwritable node \"" + std::string(40, 'l') +
                                          "...\": its line would be longer than 255 characters.");
}

TEST(ConfigWriter, RefusesTokensThatWouldNotReadBackAndWritesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.config");
    putFile(path, "old contents;\n");
    for (const std::string bad : {"a;b", "a{", "}", "say \"hi\"", "x\n# y", "x\n \t#y", "x\r\ny"}) {
        for (const bool inLabel : {true, false}) {
            ConfigFile_ file;
            file.getRoot()->addChild("Setup", "")->addChild(inLabel ? bad : "Key", inLabel ? "1" : bad);
            EXPECT_FALSE(file.writeFile(path.toStdString())) << bad;
            EXPECT_EQ(file.getErrorCode(), ConfigFile_::unwritableNode);
            const std::string message = file.getErrorMessage();
            EXPECT_EQ(message.rfind("Unwritable node \"" + (inLabel ? bad : "Key") + "\": its " +
                                        (inLabel ? "label" : "value") + " holds ", 0),
                      0u)
                << message;
        }
    }
    EXPECT_EQ(fileBytes(path), "old contents;\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.config"});
}

TEST(ConfigWriter, FailedSaveReportsAndASuccessfulOneReplacesTheFileWhole) {
    QTemporaryDir dir;
    ConfigFile_ file;
    file.getRoot()->addChild("a", "1");
    EXPECT_FALSE(file.writeFile(dir.filePath("no/such/folder/x.config").toStdString()));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::writeError);
    EXPECT_EQ(file.getErrorMessage().rfind("Unable to write to file", 0), 0u);

    const QString path = dir.filePath("x.config");
    putFile(path, std::string(10000, '#'));
    ASSERT_TRUE(file.writeFile(path.toStdString()));
    EXPECT_EQ(file.getErrorCode(), ConfigFile_::none);
    EXPECT_EQ(fileBytes(path), "\"a\" \"1\";\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"x.config"});
}

TEST(ConfigNode, LookupsAndOwnership) {
    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("a { b { x 1; } x 2; } X 3; c 2;"));
    ConfigNode_* root = file.getRoot();
    EXPECT_EQ(root->getChild("X")->getValue(), "3");
    EXPECT_EQ(root->getChild("x"), nullptr);
    EXPECT_EQ(root->findChildValue("2")->getLabel(), "c");
    EXPECT_EQ(root->findChildValue("1"), nullptr);
    EXPECT_EQ(root->findChild("x")->getValue(), "1");
    EXPECT_EQ(root->findChild("Root Node"), root);
    EXPECT_EQ(root->getChild(-1), nullptr);
    EXPECT_EQ(root->getChild(3), nullptr);

    auto* loose = new ConfigNode_();
    root->getChild(0)->addChild(loose);
    EXPECT_EQ(loose->getLevel(), 0);
    EXPECT_EQ(loose->getParent(), nullptr);
    EXPECT_EQ(root->getChild(0)->getChildren(), 3);
    EXPECT_EQ(ConfigNode_(loose).getLevel(), 1);
}

TEST(ConfigFile, WriteTreePrintsEveryNodeDepthFirst) {
    ConfigFile_ file;
    ASSERT_TRUE(file.setFileData("a 1 { b; } c;"));
    ::testing::internal::CaptureStdout();
    file.writeTree();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Root Node: \n-->\na: 1\n-->\nb: \n-->\nc: \n");
}

TEST(ConfigCorpus, EveryCorpusFileKeepsTheRoundTripProperty) {
    QTemporaryDir dir;
    const std::string scratch = dir.filePath("scratch.config").toStdString();
    const QDir corpus(QStringLiteral(PLS_SOURCE_DIR "/fuzz/corpus/configfile"));
    const QStringList names = corpus.entryList(QDir::Files);
    EXPECT_GE(names.size(), 10);
    for (const QString& name : names)
        EXPECT_EQ(configfile_roundtrip::check(fileBytes(corpus.filePath(name)), scratch), "")
            << name.toStdString();
}

}  // namespace
