#include "core/cavityelement.h"

#include <gtest/gtest.h>

#include <string>

#include "core/elements/elementgroup.h"
#include "core/elements/mbox.h"
#include "tests/core/enginefakes.h"
#include "tests/core/nodefakes.h"

namespace {

// A kind with a two-entry table bound to values of its own.
struct TableElement : CavityElement_ {
    explicit TableElement(ElementNodeLink_* node = nullptr) : CavityElement_(nullptr, node) {
        makeTable(2);
        setEntry(0, &w, "w", "The beam waist.");
        setEntry(1, &R, "R", "The pump rate.");
        takeId(id);
    }
    double w = 1.5, R = -2.0;
    int32_t id = 0;
};

TEST(CavityElement, TableIsBoundToTheKindsValuesAndNamesMatchExactly) {
    TableElement e;
    e.setParameter(1, 7.25);
    e.w = 3.0;  // a live change through the binding shows in the table
    EXPECT_EQ(e.R, 7.25);
    EXPECT_EQ(e.getParameter(0), 3.0);
    EXPECT_EQ(*e.getParameterName(1), "R");
    EXPECT_EQ(*e.getParameterDescription(0), "The beam waist.");
    EXPECT_EQ(e.getParameter(std::string("R")), &e.R);
    for (const char* other : {"r", "W", "Rx", ""}) EXPECT_EQ(e.getParameter(std::string(other)), nullptr);
    for (int i : {-1, 2}) {
        e.setParameter(i, 99.0);
        EXPECT_EQ(e.getParameter(i), 0.0);
        EXPECT_EQ(e.getParameterName(i), nullptr);
        EXPECT_EQ(e.getParameterDescription(i), nullptr);
    }
    EXPECT_EQ(e.w + e.R, 10.25);
    Counter bare;
    EXPECT_EQ(bare.getParameters(), 0);
    EXPECT_EQ(bare.getParameter(std::string("w")), nullptr);
    EXPECT_EQ(bare.getType(), CavityElement_::undefined);
}

TEST(CavityElement, DestructionClearsOnlyItsOwnNodeLink) {
    FakeElementNode elementNode;
    FakeElementNode groupNode;
    FakeBoxNode boxNode;
    elementNode.CavityElement = new TableElement(&elementNode);
    groupNode.CavityElement = new ElementGroup_(nullptr, &groupNode, 1);
    boxNode.MBox = new MBox_(nullptr, 1, &boxNode);
    delete elementNode.CavityElement;
    delete groupNode.CavityElement;
    delete boxNode.MBox;
    EXPECT_EQ(elementNode.CavityElement, nullptr);
    EXPECT_EQ(groupNode.CavityElement, nullptr);
    EXPECT_EQ(boxNode.MBox, nullptr);

    auto old = std::make_unique<TableElement>(&elementNode);
    TableElement successor(&elementNode);  // the node was rebuilt since
    elementNode.CavityElement = &successor;
    old.reset();
    EXPECT_EQ(elementNode.CavityElement, &successor);
}

}  // namespace
