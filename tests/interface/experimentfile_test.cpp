#include "interface/experimentfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "configfile.h"
#include "fuzz/experiment_roundtrip.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/messagebox.h"
#include "interface/setupnode.h"
#include "tests/interface/fakehost.h"

namespace {

using configfile_roundtrip::fileBytes;

// Two setups: three cavities, an element with an input in each, an instance
// of another element and of a group, a nested group, expressions, arrays and
// every flag; the second setup holds an instance of an element of the first.
class ExperimentFile : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        MessageBox_::setHandler([this](const MessageBox_::Request& r) {
            boxes << r.title;
            return QMessageBox::Ok;
        });
    }
    void TearDown() override {
        MessageBox_::setHandler({});
        TreeFixture::TearDown();
    }

    static Parameter_* addArray(Node_* node, const QString& name, DataType_::type_ type, std::vector<int> samples) {
        auto* p = new Parameter_(type, static_cast<int>(samples.size()), samples.data());
        p->setName(name);
        node->addParameter(p);
        return p;
    }

    void buildTree(const QString& setupName = "Setup1") {
        auto* setup = new SetupNode_(host.setupTree);
        setup->setText(0, setupName);
        addParameter(setup, "Roundtrips", DataType_::integer, "10")->setText("Number of roundtrips.");
        addParameter(setup, "Roundtrip", DataType_::integer)->setVisible(false);
        addParameter(setup, "Samples", DataType_::integer, "64");
        Node_* cavities[3];
        for (int c = 0; c < 3; ++c) {
            cavities[c] = add<CavityNode_>(setup, "Cavity" + QString::number(c + 1));
            addArray(cavities[c], "Pulse", DataType_::pulse, {64})->setEditable(false);
            addParameter(cavities[c], "PulseTime", DataType_::quadprecision, "0")->setHotChangeable(true);
        }
        // One element with an input in each cavity, then an instance of it.
        QList<ElementBaseNode_*> mixer;
        for (Node_* cavity : cavities) mixer << add<ElementNode_>(cavity, "Mixer");
        ElementBaseNode_::linkNewElement(mixer);
        addParameter(mixer[0], "ElementType", DataType_::string, "Linear Loss");
        ElementBaseNode_* loss = add<ElementNode_>(cavities[0], "Loss");
        ElementBaseNode_::linkNewElement({loss});
        addParameter(loss, "Loss", DataType_::doubleprecision, "0.1")->setMeasurable(false);
        cavities[1]->addChild(loss->createInstance());
        // A group with a nested group and an element, and an instance of it.
        auto* group = add<ElementGroupNode_>(cavities[1], "Group");
        addParameter(group, "Iterations", DataType_::integer, "2");
        addParameter(group, "Condition", DataType_::string, "Roundtrip > 1")->troggleExpression(true);
        auto* inner = add<ElementGroupNode_>(group, "Inner");
        ElementBaseNode_* gain = add<ElementNode_>(inner, "Gain");
        ElementBaseNode_::linkNewElement({gain});
        cavities[2]->addChild(group->createInstance());
        addArray(gain, "Spectrum", DataType_::complex, {4, 3});
        addArray(gain, "Profile", DataType_::doubleprecision, {500});
        auto* measurements = add<MeasurementGroupNode_>(setup, "Measurements");
        measurements->setFlags(measurements->flags() & ~Qt::ItemIsEditable);
        auto* m = add<MeasurementNode_>(measurements, "Energy");
        addParameter(m, "Parameter", DataType_::string, "Energy(Cavity1%Pulse)")->troggleExpression(true);
        addParameter(m, "Condition", DataType_::string, "always")->troggleExpression(true);
        add<MeasurementNode_>(add<MeasurementGroupNode_>(cavities[2], "Probe"), "Peak");
        // The second setup holds an instance of the first setup's loss.
        auto* second = new SetupNode_(host.setupTree);
        second->setText(0, "Other");
        add<CavityNode_>(second, "Cavity1")->addChild(loss->createInstance());
    }

    // Saves the window's tree to `path`; the writer's or the links' problem
    // when it fails.
    QString save(const QString& path) {
        ConfigFile_ file;
        QString problem;
        ExperimentFile_ format;
        if (!format.copySetupTree(host.setupTree, file.getRoot(), "0.9.1", &problem)) return problem;
        return file.writeFile(path.toStdString()) ? QString() : QString::fromStdString(file.getErrorMessage());
    }

    // Replaces the window's tree by the file's setups; the reason when refused.
    QString load(const std::string& text) {
        ConfigFile_ file;
        if (!file.setFileData(text)) return QString::fromStdString(file.getErrorMessage());
        host.setupTree->clear();
        QString problem;
        return experiment_roundtrip::load(file, host.setupTree, &problem) ? QString() : problem;
    }

    Node_* at(const QString& path) {
        for (int i = 0; i < host.setupTree->topLevelItemCount(); ++i) {
            auto* top = dynamic_cast<Node_*>(host.setupTree->topLevelItem(i));
            if (top->text(0) == path.section('%', 0, 0)) return path.contains('%') ? top->getNodeFromPath(path) : top;
        }
        return nullptr;
    }
    ElementBaseNode_* element(const QString& path) { return dynamic_cast<ElementBaseNode_*>(at(path)); }

    QTemporaryDir dir;
    QStringList boxes;
};

TEST_F(ExperimentFile, EveryKindOfItemAndLinkSurvivesSaveLoadSave) {
    buildTree();
    const QString first = dir.filePath("first.experiment");
    ASSERT_EQ(save(first), "");
    const std::string bytes = fileBytes(first.toStdString());
    ASSERT_EQ(load(bytes), "");
    const QString second = dir.filePath("second.experiment");
    ASSERT_EQ(save(second), "");
    EXPECT_EQ(fileBytes(second.toStdString()), bytes);
    host.setupTree->clear();
    EXPECT_EQ(experiment_roundtrip::check(bytes, dir.filePath("scratch").toStdString(), host.setupTree), "");

    // The loaded links are the same nodes the paths name, across cavities and setups.
    ASSERT_EQ(load(bytes), "");
    ElementBaseNode_* mixer = element("Setup1%Cavity1%Mixer");
    ASSERT_NE(mixer, nullptr);
    EXPECT_EQ(mixer->getInputs(), 3);
    EXPECT_EQ(mixer->getInput(2), element("Setup1%Cavity3%Mixer"));
    EXPECT_EQ(element("Setup1%Cavity2%Mixer")->getMasterInput(), mixer);
    ElementBaseNode_* loss = element("Setup1%Cavity1%Loss");
    EXPECT_EQ(loss->getInstances(), 3);
    EXPECT_EQ(element("Other%Cavity1%Loss.2")->getMasterInstance(), loss);
    EXPECT_EQ(element("Setup1%Cavity3%Group.")->getMasterInstance(), element("Setup1%Cavity2%Group"));
    const Parameter_* spectrum = element("Setup1%Cavity2%Group%Inner%Gain")->getParameter("Spectrum");
    ASSERT_EQ(spectrum->getDimension(), 2);
    EXPECT_EQ(spectrum->getSamples()[0] * 10 + spectrum->getSamples()[1], 43);
    EXPECT_TRUE(at("Setup1%Measurements%Energy")->getParameter("Parameter")->isExpression());
    EXPECT_FALSE(at("Setup1%Measurements")->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(at("Setup1%Cavity3%Probe")->flags() & Qt::ItemIsEditable);
}

TEST_F(ExperimentFile, TextBeyondLatin1IsKeptAndPlainTextIsStoredAsItWas) {
    buildTree(QString::fromUtf8("Setup \xCE\xBB=800nm"));
    const QString path = dir.filePath("lambda.experiment");
    ASSERT_EQ(save(path), "");
    const std::string bytes = fileBytes(path.toStdString());
    EXPECT_NE(bytes.find("\"Setup \xCE\xBB=800nm\""), std::string::npos);
    ASSERT_EQ(load(bytes), "");
    EXPECT_NE(at(QString::fromUtf8("Setup \xCE\xBB=800nm%Cavity1%Mixer")), nullptr);

    // 8-bit text of older files reads as Latin-1; plain ASCII is UTF-8 alike.
    EXPECT_EQ(ExperimentFile_::decode("Fl\xE4" "che"), QString::fromUtf8("Fl\xC3\xA4" "che"));
    EXPECT_EQ(ExperimentFile_::encode("Setup1%Cavity1"), "Setup1%Cavity1");
}

TEST_F(ExperimentFile, ReadsValuesAsTheFormatDefinesThem) {
    // Three inputs, though the count says 2.
    const auto links = [](const char* self) {
        return std::string("\"MasterInput\" \"S%C%E\"; \"Inputs\" \"2\" { \"Input 1\" \"S%C%E\"; ") +
               "\"Input 2\" \"S%C%F\"; \"Input 3\" \"S%C%G\"; } \"MasterInstance\" \"S%C%" + self +
               "\"; \"Instances\" \"1\" { \"S%C%" + self + "\" \"\"; }";
    };
    const std::string text =
        "\"Setup\" \"S\" {\n"
        "\"Parameter\" \"Flag\" { \"Value\" \"1\"; \"Text\" \"\"; \"DataType\" \"Double\"; \"Visible\" \"TRUE\";\n"
        "  \"Measurable\" \"true\"; \"Editable\" \"false\"; \"Expression\" \"true\"; \"HotChangeable\" \"x\"; }\n"
        "\"Cavity\" \"C\" { \"CavityElement\" \"E\" { " + links("E") + " } \"CavityElement\" \"F\" { " + links("F") +
        " } \"CavityElement\" \"G\" { " + links("G") + " } }\n"
        "}\n\"Comment\" \"ignored\";\n\"Version\" \"0.9.1\";\n";
    ASSERT_EQ(load(text), "");
    const Parameter_* p = at("S")->getParameter(0);
    EXPECT_FALSE(p->getVisible());
    EXPECT_TRUE(p->getMeasurable());
    EXPECT_FALSE(p->getEditable());
    EXPECT_FALSE(p->isExpression());  // only strings hold expressions
    EXPECT_FALSE(p->getHotChangeable());
    EXPECT_EQ(p->getDimension(), 0);
    EXPECT_EQ(element("S%C%E")->getInputs(), 3);
    EXPECT_EQ(element("S%C%E")->getInputType(2), "Input 3");
}

// Each file is refused whole: no setup of it stays, and the reason names the fault.
TEST_F(ExperimentFile, RefusesMissingKeysAndLinksThatNameNothing) {
    const std::string keys = "\"Text\" \"\"; \"Visible\" \"true\"; \"Measurable\" \"true\"; "
                             "\"Editable\" \"true\"; \"HotChangeable\" \"false\";";
    const auto parameter = [&keys](const std::string& extra) {
        return "\"Setup\" \"S\" { \"Parameter\" \"P\" { " + keys + extra + " } }\n";
    };
    const auto element = [](const std::string& masterInput) {
        return "\"Setup\" \"S\" { \"Cavity\" \"C\" { \"CavityElement\" \"E\" { \"MasterInput\" \"" + masterInput +
               "\"; \"Inputs\" \"1\" { \"Input 1\" \"S%C%E\"; } \"MasterInstance\" \"S%C%E\"; "
               "\"Instances\" \"1\" { \"S%C%E\" \"\"; } } } }\n";
    };
    const struct {
        std::string text;
        const char* reason;
    } rows[] = {
        {parameter("\"DataType\" \"Integer\";"), "\"Value\""},
        {parameter("\"Value\" \"1\";"), "\"DataType\""},
        {parameter("\"Value\" \"1\"; \"DataType\" \"Float\";"), "unknown data type"},
        {parameter("\"Value\" \"\"; \"DataType\" \"Integer\"; \"Dimension\" \"-1\"; \"Samples\" \"\";"), "axes"},
        {parameter("\"Value\" \"\"; \"DataType\" \"Integer\"; \"Dimension\" \"2\";"), "\"Samples\""},
        {parameter("\"Value\" \"\"; \"DataType\" \"Pulse\"; \"Dimension\" \"0\";"), "pulse without axes"},
        {parameter("\"Value\" \"\"; \"DataType\" \"Double\"; \"Dimension\" \"3\"; \"Samples\" \"100000, 100000, 1\";"),
         "samples"},
        {"\"Setup\" \"S\" { \"Setup\" \"T\"; }\n", "names no kind"},
        {element("S%C%E"), ""},
        {element("S%C%Nothing"), "names no element"},
        {element("S%C"), "names no element"},
        {element("S%C%E%E"), "names no element"},
        {"\"Setup\" \"S\" { \"Cavity\" \"C\" { \"CavityElement\" \"E\"; } }\n", "\"MasterInput\""},
        {"\"Setup\" \"S\" { \"Cavity\" \"C\" { \"CavityElement\" \"E\" { \"MasterInput\" \"S%C%E\"; \"Inputs\" "
         "\"0\"; \"MasterInstance\" \"S%C%E\"; \"Instances\" \"1\" { \"S%C%E\" \"\"; } } } }\n",
         "do not fit together"},
    };
    for (const auto& row : rows) {
        buildTree();
        const QString reason = load(row.text + "\"Version\" \"0.9.1\";\n");
        if (*row.reason == '\0') {
            EXPECT_EQ(reason, "") << row.text;
            continue;
        }
        EXPECT_TRUE(reason.contains(row.reason)) << row.text << " -> " << reason.toStdString();
        EXPECT_EQ(host.setupTree->topLevelItemCount(), 0) << row.text;
        EXPECT_EQ(host.tabs->count(), 0) << row.text;
    }

    std::string deep = "\"Setup\" \"S\" {";
    for (int i = 0; i < 100; ++i) deep += " \"ElementGroup\" \"G\" {";
    deep += std::string(101, '}');
    EXPECT_TRUE(load(deep).contains("nested deeper"));
}

TEST_F(ExperimentFile, RefusesToSaveLinksThatWouldNotNameTheirNodesAgain) {
    buildTree();
    Node_* cavity2 = at("Setup1%Cavity2");
    cavity2->setText(0, "Cavity%2");
    EXPECT_TRUE(save(dir.filePath("percent.experiment")).contains("Setup1%Cavity%2%Mixer"));
    cavity2->setText(0, "Cavity2");
    at("Setup1%Cavity1")->setText(0, "Cavity3");
    EXPECT_TRUE(save(dir.filePath("twins.experiment")).contains("would name another item"));
    EXPECT_FALSE(QFile::exists(dir.filePath("twins.experiment")));
}

TEST_F(ExperimentFile, EveryCorpusSeedKeepsTheRoundTripProperty) {
    const QDir corpus(QStringLiteral(PLS_SOURCE_DIR "/fuzz/corpus/experiment"));
    const QStringList names = corpus.entryList(QDir::Files);
    EXPECT_GE(names.size(), 3);
    const std::string scratch = dir.filePath("scratch").toStdString();
    for (const QString& name : names)
        EXPECT_EQ(experiment_roundtrip::check(fileBytes(corpus.filePath(name).toStdString()), scratch, host.setupTree), "")
            << name.toStdString();
}

}  // namespace
