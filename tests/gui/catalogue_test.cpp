// The shipped element catalogue agrees with what the element nodes read when
// a run is built: the same kind words, parameter names and input counts, and
// every set gives every parameter a number.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "configfile.h"

namespace {

struct Kind {
    std::vector<std::string> parameters;
    int inputs;
};

std::vector<std::string> labels(const ConfigNode_* node) {
    std::vector<std::string> out;
    for (int i = 0; node && i < node->getChildren(); ++i) out.push_back(node->getChild(i)->getLabel());
    return out;
}

TEST(ElementCatalogue, KindsParametersAndInputsAreThoseTheElementNodesRead) {
    const std::map<std::string, Kind> expected = {
        {"SaturableGain", {{"w", "R", "l", "sigma", "deltan0", "sigmap", "lambdap", "T1", "deltan", "recoverytime"}, 1}},
        {"SaturableAbsorber", {{"w", "l", "Is", "loss", "T1", "deltan", "recoverytime"}, 1}},
        {"LinearLoss", {{"amount"}, 1}},
        {"GaussianFilter", {{"fwhm", "mean"}, 1}},
        {"Propagation", {{"d", "n"}, 1}},
        {"DFGTime", {{"w", "chi2", "l"}, 3}},
        {"DFGFrequency", {{"w", "chi2", "l"}, 3}},
    };
    ConfigFile_ file;
    ASSERT_TRUE(file.readFile(PLS_SOURCE_DIR "/config/elements.config")) << file.getErrorMessage();
    ConfigNode_* root = file.getRoot();
    ASSERT_EQ(root->getChildren(), static_cast<int>(expected.size()));
    for (int k = 0; k < root->getChildren(); ++k) {
        const ConfigNode_* kind = root->getChild(k);
        SCOPED_TRACE(kind->getValue());
        ASSERT_EQ(expected.count(kind->getValue()), 1u);
        const Kind& want = expected.at(kind->getValue());
        EXPECT_EQ(labels(kind->getChild("Parameters")), want.parameters);
        ASSERT_NE(kind->getChild("Inputs"), nullptr);
        EXPECT_EQ(kind->getChild("Inputs")->getChildren(), want.inputs);
        int sets = 0;
        for (int i = 0; i < kind->getChildren(); ++i) {
            const ConfigNode_* set = kind->getChild(i);
            if (set->getLabel() != "ParameterSet") continue;
            ++sets;
            EXPECT_EQ(labels(set), want.parameters) << set->getValue();
            for (int p = 0; p < set->getChildren(); ++p) {
                size_t used = 0;
                const std::string& text = set->getChild(p)->getValue();
                EXPECT_NO_THROW((void)std::stod(text, &used));
                EXPECT_EQ(used, text.size()) << set->getValue() << " " << text;
            }
        }
        EXPECT_GE(sets, 1);
    }
}

}  // namespace
