#include "interface/error.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "interface/errorreceiver.h"
#include "kernel/errorhandling.h"
#include "tests/core/fakes.h"

namespace {

using Rows = std::vector<ErrorRow>;

const QString perSourceNote = "Further errors from this element will be ignored.";
const QString globalNote = "Too many errors. Further errors will be ignored.";

// Takes the window's calls as they come, mirroring the list in its rows.
class RecordingReceiver : public ErrorReceiver_ {
public:
    void connectError() override { ++connects; }
    void addError(QString message, Node_* source, int code) override { rows.push_back({message, source, code}); }
    void deleteError(int i) override {
        deletes.push_back(i);
        deleteRow(rows, i);
    }
    int connects = 0;
    Rows rows;
    std::vector<int> deletes;
};

class Errors : public ::testing::Test {
protected:
    void SetUp() override {
        errortesting::reset();
        Error_::setMainWindow(&receiver);
    }
    void TearDown() override { errortesting::reset(); }

    void expectListed(const Rows& expected) {
        EXPECT_EQ(listedErrors(), expected);
        EXPECT_EQ(receiver.rows, expected);
    }

    RecordingReceiver receiver;
};

TEST(ErrorCodes, NamesAndExplanations) {
    const char* names[] = {"No Error", "Undefined Error", "Floating Point Exception", "Input Out Of Domain",
                           "Illegal Input", "Notice", "Unidentified Regular Error", "Warning",
                           "Unidentified Fatal Error"};
    for (int code = -1; code <= 12; ++code)
        EXPECT_EQ(Error_::getErrorString(static_cast<Error_::errorCode_>(code)),
                  code >= 0 && code <= 8 ? names[code] : "Unknown Error Code")
            << "code " << code;
    EXPECT_EQ(Error_::getErrorExplanation(Error_::warning), "A general warning.");
    EXPECT_EQ(Error_::getErrorExplanation(static_cast<Error_::errorCode_>(12)),
              "This error code is not recognized. The fact that you are seeing this points to a "
              "bug in one of the plugins you use or in KORVANE itself.");
}

TEST_F(Errors, PrefixesByCodeAndTextsTakenByteForByte) {
    const QString prefixes[] = {"", "", "", "", "", "Note: ", "General Error: ", "Warning: ", "Fatal Error: "};
    Error_ node(fakeNode(0));
    for (int code = Error_::none; code <= Error_::fatal; ++code) {
        SCOPED_TRACE(code);
        Error_::clearErrorList();
        node.report("x", static_cast<Error_::errorCode_>(code));
        Error_::reportStatic("x", static_cast<Error_::errorCode_>(code));
        const QString stopped = code == Error_::fatal ? " Simulation stopped." : "";
        expectListed({{prefixes[code] + "x" + stopped, fakeNode(0), code}, {prefixes[code] + "x", nullptr, code}});
    }
    Error_::clearErrorList();
    Error_ plain;
    plain.report("5 \xB5m", Error_::none);
    plain.report(std::string("caf\xE9"), Error_::none);
    expectListed({{QString("5 ") + QChar(0xB5) + "m", nullptr, 0}, {QString("caf") + QChar(0xE9), nullptr, 0}});
}

// Ten reports per node, then its note; 1000 in all, then the global note.
TEST_F(Errors, TenthReportOfANodeIsFollowedByItsNoteThenSilence) {
    Error_ a(fakeNode(1)), b(fakeNode(2));
    Rows expected;
    for (int i = 0; i < 10; ++i) {
        a.report("w" + std::to_string(i), Error_::warning);
        expected.push_back({"Warning: w" + QString::number(i), fakeNode(1), Error_::warning});
    }
    expected.push_back({perSourceNote, fakeNode(1), Error_::notice});
    a.report("eleventh", Error_::warning);
    b.report("other node", Error_::error);
    expected.push_back({"General Error: other node", fakeNode(2), Error_::error});
    expectListed(expected);

    // The dropped eleventh report did not count: 11 so far, so the 989th
    // static report reaches 1000 and is followed by the global note.
    for (int i = 0; i < 989; ++i) Error_::reportStatic("s", Error_::none);
    const Rows all = listedErrors();
    ASSERT_EQ(all.size(), expected.size() + 990);
    EXPECT_EQ(all[all.size() - 2], (ErrorRow{"s", nullptr, 0}));
    EXPECT_EQ(all.back(), (ErrorRow{globalNote, nullptr, Error_::notice}));
    Error_::reportStatic("s", Error_::none);
    b.report("late", Error_::warning);
    Error_ c(fakeNode(3));
    c.report("new node", Error_::warning);
    expectListed(all);
}

// Kernel errors are always listed and counted; when they step past the
// limit, the note follows the next report, which is dropped.
TEST_F(Errors, KernelErrorsCountTowardsTheGlobalLimit) {
    for (int i = 0; i < 998; ++i) Error_::reportStatic("s", Error_::none);
    for (int i = 0; i < 5; ++i) reporterror_("kernel", -1, 1, 6);
    Error_ node(fakeNode(4));
    node.report("dropped", Error_::warning);
    node.report("dropped too", Error_::warning);
    Error_::reportStatic("dropped", Error_::warning);
    reporterror_("kernel still listed", -1, 1, 19);
    const Rows all = listedErrors();
    ASSERT_EQ(all.size(), 1005u);
    EXPECT_EQ(all[1002], (ErrorRow{"kernel", nullptr, 1}));
    EXPECT_EQ(all[1003], (ErrorRow{globalNote, fakeNode(4), Error_::notice}));
    EXPECT_EQ(all[1004], (ErrorRow{"kernel still listed", nullptr, 1}));
}

TEST_F(Errors, FatalReportStopsTheRunOfItsThreadOnly) {
    Error_ node(fakeNode(5));
    int stops = 0;
    Error_::setFatalHandler([&stops] { ++stops; });
    node.report("diverged", Error_::fatal);
    EXPECT_EQ(stops, 1);
    Error_::reportStatic("static", Error_::fatal);
    std::thread([&node] { node.report("elsewhere", Error_::fatal); }).join();
    Error_::setFatalHandler({});
    node.report("unhandled", Error_::fatal);
    EXPECT_EQ(stops, 1);

    // Fatal reports are listed but not counted: ten more fit before the note.
    for (int i = 0; i < 11; ++i) node.report("w", Error_::warning);
    Rows expected = {{"Fatal Error: diverged Simulation stopped.", fakeNode(5), Error_::fatal},
                     {"Fatal Error: static", nullptr, Error_::fatal},
                     {"Fatal Error: elsewhere Simulation stopped.", fakeNode(5), Error_::fatal},
                     {"Fatal Error: unhandled Simulation stopped.", fakeNode(5), Error_::fatal}};
    expected.insert(expected.end(), 10, {"Warning: w", fakeNode(5), Error_::warning});
    expected.push_back({perSourceNote, fakeNode(5), Error_::notice});
    expectListed(expected);
}

TEST_F(Errors, KernelErrorsAreListedAgainstTheRegisteredNode) {
    EXPECT_EQ(Error_::newSourceId(), 0);
    EXPECT_EQ(Error_::newSourceId(), 1);
    const int id = Error_::newSourceId();
    EXPECT_EQ(id, 2);
    Error_::addSource(id, fakeNode(6));
    Error_::addSource(0, fakeNode(7));
    Error_::addSource(0, fakeNode(8));

    const int code = 4;
    reporterror_("abcdef", id, Error_::warning, 3);
    reporterror_("none", -1, code, 4);
    reporterror_("unregistered", 77, code, 12);
    reporterror_("replaced", 0, code, 8);
    Error_::fortranreport("no code", &id, nullptr);
    Error_::fortranreport("no source", nullptr, &code);
    // Through the kernel's own reporting, which the registry hooks into.
    errorhandling::testing::reset();
    errorhandling::seterrormode(errorhandling::tohost);
    errorhandling::error("kernel says", id, Error_::illegalInput);
    errorhandling::error("without source");
    errorhandling::seterrormode(errorhandling::standard);
    errorhandling::testing::reset();
    expectListed({{"abc", fakeNode(6), Error_::warning}, {"none", nullptr, 4}, {"unregistered", nullptr, 4},
                  {"replaced", fakeNode(8), 4}, {"no code", fakeNode(6), Error_::undefined}, {"no source", nullptr, 4},
                  {"kernel says", fakeNode(6), Error_::illegalInput}, {"without source", nullptr, Error_::undefined}});
}

TEST_F(Errors, RemovalsReachTheWindowInOrder) {
    Error_ node(fakeNode(10));
    for (const char* m : {"a", "b", "c", "d"}) node.report(m, Error_::none);
    Error_::deleteError(1);
    Error_::deleteError(-1);
    Error_::deleteError(3);
    expectListed({{"a", fakeNode(10), 0}, {"c", fakeNode(10), 0}, {"d", fakeNode(10), 0}});
    EXPECT_EQ(receiver.deletes, std::vector<int>{1});
    EXPECT_EQ(Error_::getErrorCode(-1), -1);
    EXPECT_EQ(Error_::getErrorMessage(3), QString());
    EXPECT_EQ(Error_::getErrorSource(3), nullptr);

    // Clearing keeps the counters: after its 4 reports the node lists 6 more, then its note.
    Error_::clearErrorList();
    EXPECT_EQ(receiver.deletes, (std::vector<int>{1, -1}));
    for (int i = 0; i < 7; ++i) node.report("e", Error_::none);
    EXPECT_EQ(listedErrors().size(), 7u);
    EXPECT_EQ(receiver.rows.back().message, perSourceNote);

    // Destroying any node empties the whole list.
    { Error_ other(fakeNode(11)); }
    EXPECT_EQ(receiver.deletes.back(), -1);
    expectListed({});
}

TEST_F(Errors, OnlyTheFirstWindowIsTakenAndEntriesNeedNone) {
    RecordingReceiver second;
    Error_::setMainWindow(&second);
    Error_::setMainWindow(nullptr);
    Error_::reportStatic("one", Error_::notice);
    EXPECT_EQ(receiver.connects, 1);
    EXPECT_EQ(second.connects, 0);
    expectListed({{"Note: one", nullptr, Error_::notice}});
    errortesting::reset();
    Error_::addError("kept", fakeNode(12), Error_::error);
    EXPECT_EQ(listedErrors(), (Rows{{"kept", fakeNode(12), Error_::error}}));
    EXPECT_EQ(receiver.rows.size(), 1u);
}

}  // namespace
