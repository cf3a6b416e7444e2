#pragma once
// The plain window stand-in and a tree fixture built on it.
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>
#include <gtest/gtest.h>

#include "interface/error.h"
#include "interface/node.h"
#include "interface/parameter.h"
#include "interface/treehost.h"
#include "tests/interface/plainhost.h"

using FakeHost = PlainHost;

class TreeFixture : public ::testing::Test {
protected:
    void SetUp() override { Node_::setMainWindow(&host); }
    // Nodes go before the widgets they show in, as when the window closes.
    void TearDown() override {
        host.setupTree->clear();
        Node_::setMainWindow(nullptr);
        errortesting::reset();
    }

    template <class N>
    static N* add(Node_* parent, const QString& name) {
        auto* n = new N;
        n->setText(0, name);
        parent->addChild(n);
        return n;
    }

    static Parameter_* addParameter(Node_* node, const QString& name, DataType_::type_ type,
                                    const QString& value = QString()) {
        auto* p = new Parameter_(type, 0, nullptr);
        p->setName(name);
        p->setValue(value);
        node->addParameter(p);
        return p;
    }

    FakeHost host;
};
