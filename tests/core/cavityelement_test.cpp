#include "core/cavityelement.h"

#include <gtest/gtest.h>

#include <string>

#include "core/elements/elementgroup.h"
#include "core/elements/mbox.h"
#include "interface/nodelinks.h"
#include "tests/core/enginefakes.h"

namespace {

// A kind with a two-entry table bound to values of its own.
class TableElement : public CavityElement_ {
public:
    explicit TableElement(ElementNode_* node = nullptr) : CavityElement_(nullptr, node) {
        makeTable(2);
        setEntry(0, &w, "w", "The beam waist.");
        setEntry(1, &R, "R", "The pump rate.");
        takeId(id);
    }
    double w = 1.5;
    double R = -2.0;
    int32_t id = 0;
};

TEST(CavityElementTable, EntriesReadAndWriteTheKindsOwnValues) {
    TableElement e;
    ASSERT_EQ(e.getParameters(), 2);
    EXPECT_EQ(e.getParameter(0), 1.5);
    EXPECT_EQ(e.getParameter(1), -2.0);
    e.setParameter(1, 7.25);
    EXPECT_EQ(e.R, 7.25);
    e.w = 3.0;  // a live change through the binding shows in the table
    EXPECT_EQ(e.getParameter(0), 3.0);
    EXPECT_EQ(*e.getParameterName(1), "R");
    EXPECT_EQ(*e.getParameterDescription(0), "The beam waist.");
}

TEST(CavityElementTable, InvalidIndicesChangeAndReturnNothing) {
    TableElement e;
    for (int i : {-1, 2, 100}) {
        EXPECT_EQ(e.getParameter(i), 0.0);
        EXPECT_EQ(e.getParameterName(i), nullptr);
        EXPECT_EQ(e.getParameterDescription(i), nullptr);
        e.setParameter(i, 99.0);
    }
    EXPECT_EQ(e.w, 1.5);
    EXPECT_EQ(e.R, -2.0);
}

TEST(CavityElementTable, NameLookUpIsExactAndCaseSensitive) {
    TableElement e;
    EXPECT_EQ(e.getParameter(std::string("w")), &e.w);
    EXPECT_EQ(e.getParameter(std::string("R")), &e.R);
    EXPECT_EQ(e.getParameter(std::string("r")), nullptr);
    EXPECT_EQ(e.getParameter(std::string("W")), nullptr);
    EXPECT_EQ(e.getParameter(std::string("Rx")), nullptr);
    EXPECT_EQ(e.getParameter(std::string("")), nullptr);

    Journal journal;
    FakeElement bare(journal, "bare");
    EXPECT_EQ(bare.getParameters(), 0);
    EXPECT_EQ(bare.getParameter(std::string("w")), nullptr);
    EXPECT_EQ(bare.getParameter(0), 0.0);
}

TEST(CavityElementBase, BaseIsUndefinedAndKindsReportTheirCodes) {
    Journal journal;
    FakeElement base(journal, "x");
    EXPECT_EQ(base.getType(), CavityElement_::undefined);
    EXPECT_EQ(static_cast<int>(CavityElement_::undefined), 11);
    EXPECT_EQ(base.getId(), -1);  // the base alone has no number
    ElementGroup_ group(nullptr, nullptr, 1);
    MBox_ box(nullptr, 1, nullptr);
    EXPECT_EQ(static_cast<int>(group.getType()), 9);
    EXPECT_EQ(static_cast<int>(box.getType()), 6);
}

TEST(CavityElementIds, FollowConstructionOrderAcrossKindsAndBuilds) {
    int first;
    {
        TableElement a;
        ElementGroup_ g(nullptr, nullptr, 2);
        MBox_ b(nullptr, 0, nullptr);
        first = a.getId();
        EXPECT_EQ(g.getId(), first + 1);
        EXPECT_EQ(b.getId(), first + 2);
    }
    // A second build continues where the first stopped.
    TableElement again;
    EXPECT_EQ(again.getId(), first + 3);
}

TEST(CavityElementLinks, DestroyingAnElementClearsItsNodesLink) {
    ElementNode_ elementNode;
    ElementGroupNode_ groupNode;
    MeasurementGroupNode_ boxNode;
    auto* element = new TableElement(&elementNode);
    auto* group = new ElementGroup_(nullptr, &groupNode, 1);
    auto* box = new MBox_(nullptr, 1, &boxNode);
    elementNode.CavityElement = element;
    groupNode.CavityElement = group;
    boxNode.MBox = box;
    EXPECT_EQ(element->getElementNode(), &elementNode);
    EXPECT_EQ(group->getElementGroupNode(), &groupNode);

    delete element;
    delete group;
    delete box;
    EXPECT_EQ(elementNode.CavityElement, nullptr);
    EXPECT_EQ(groupNode.CavityElement, nullptr);
    EXPECT_EQ(boxNode.MBox, nullptr);
}

TEST(CavityElementLinks, AnOldElementLeavesTheLinkToItsSuccessor) {
    ElementNode_ node;
    auto* old = new TableElement(&node);
    TableElement successor(&node);
    node.CavityElement = &successor;
    delete old;
    EXPECT_EQ(node.CavityElement, &successor);
}

TEST(CavityElementCondition, IsOwnedAndGatesThePass) {
    bool met = false;
    int destroyed = 0;
    Journal journal;
    {
        FakeElement e(journal, "E");
        e.setCondition(new FakeCondition(met, destroyed));
        e.call(fakePulse(0));
        EXPECT_TRUE(journal.empty());
        met = true;
        e.call(fakePulse(0));
        EXPECT_EQ(journal, Journal{"E"});
        // A replaced condition is released at once.
        e.setCondition(new FakeCondition(met, destroyed));
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(CavityElementWrite, DumpsAddressTypeAndTable) {
    CapturedLog log(Logger_::debugA);
    TableElement e;
    e.write(2);
    std::ostringstream address;
    address << static_cast<const void*>(&e);
    const std::vector<std::string> expected = {
        "  Addr: " + address.str(), "  Type: 11", "  Parameters: 2",
        "    Parameter 0: w = 1.5", "    Parameter 1: R = -2"};
    EXPECT_EQ(log.lines(), expected);
}

TEST(CavityElementWrite, IsSilentBelowDebugA) {
    CapturedLog log(Logger_::normal);
    TableElement e;
    e.write(0);
    EXPECT_EQ(log.text(), "");
}

}  // namespace
