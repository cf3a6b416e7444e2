#include "interface/error.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "interface/errorreceiver.h"
#include "kernel/errorhandling.h"
#include "tests/core/fakes.h"

namespace {

struct Entry {
    QString message;
    Node_* source;
    int code;
    bool operator==(const Entry& o) const {
        return message == o.message && source == o.source && code == o.code;
    }
};

void PrintTo(const Entry& e, std::ostream* os) {
    *os << '{' << e.message.toStdString() << ", " << e.source << ", " << e.code << '}';
}

// Takes the window's calls as they come; the row list mirrors the registry's.
class RecordingReceiver : public ErrorReceiver_ {
public:
    void connectError() override { ++connects; }
    void addError(QString message, Node_* source, int code) override {
        rows.push_back({message, source, code});
    }
    void deleteError(int i) override {
        deletes.push_back(i);
        if (i == -1) rows.clear();
        else if (i >= 0 && i < static_cast<int>(rows.size())) rows.erase(rows.begin() + i);
    }
    int connects = 0;
    std::vector<Entry> rows;
    std::vector<int> deletes;
};

std::vector<Entry> listed() {
    std::vector<Entry> entries;
    for (int i = 0; Error_::getErrorCode(i) != -1; ++i)
        entries.push_back({Error_::getErrorMessage(i), Error_::getErrorSource(i),
                           Error_::getErrorCode(i)});
    return entries;
}

const QString perSourceNote = "Further errors from this element will be ignored.";
const QString globalNote = "Too many errors. Further errors will be ignored.";

class Errors : public ::testing::Test {
protected:
    void SetUp() override {
        errortesting::reset();
        Error_::setMainWindow(&receiver);
    }
    void TearDown() override { errortesting::reset(); }

    void expectListed(const std::vector<Entry>& expected) {
        EXPECT_EQ(listed(), expected);
        EXPECT_EQ(receiver.rows, expected);
    }

    RecordingReceiver receiver;
};

TEST(ErrorCodes, NamesAndExplanations) {
    struct Case {
        int code;
        const char* name;
    };
    const Case cases[] = {
        {0, "No Error"},         {1, "Undefined Error"},
        {2, "Floating Point Exception"}, {3, "Input Out Of Domain"},
        {4, "Illegal Input"},    {5, "Notice"},
        {6, "Unidentified Regular Error"}, {7, "Warning"},
        {8, "Unidentified Fatal Error"},   {9, "Unknown Error Code"},
        {12, "Unknown Error Code"}, {-1, "Unknown Error Code"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Error_::getErrorString(static_cast<Error_::errorCode_>(c.code)), c.name)
            << "code " << c.code;
    EXPECT_EQ(Error_::getErrorExplanation(Error_::warning), "A general warning.");
    EXPECT_EQ(Error_::getErrorExplanation(static_cast<Error_::errorCode_>(12)),
              "This error code is not recognized. The fact that you are seeing this points to a "
              "bug in one of the plugins you use or in KORVANE itself.");
}

TEST_F(Errors, PrefixesByCode) {
    struct Case {
        Error_::errorCode_ code;
        const char* reported;
        const char* reportedStatic;
    };
    const Case cases[] = {
        {Error_::none, "x", "x"},
        {Error_::undefined, "x", "x"},
        {Error_::FPE, "x", "x"},
        {Error_::inputOutOfDomain, "x", "x"},
        {Error_::illegalInput, "x", "x"},
        {Error_::notice, "Note: x", "Note: x"},
        {Error_::error, "General Error: x", "General Error: x"},
        {Error_::warning, "Warning: x", "Warning: x"},
        {Error_::fatal, "Fatal Error: x Simulation stopped.", "Fatal Error: x"},
    };
    Error_ node(fakeNode(0));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        Error_::clearErrorList();
        node.report("x", c.code);
        Error_::reportStatic("x", c.code);
        expectListed({{c.reported, fakeNode(0), c.code}, {c.reportedStatic, nullptr, c.code}});
    }
}

TEST_F(Errors, TextsAreTakenByteForByte) {
    Error_ node;
    node.report("5 \xB5m", Error_::none);
    node.report(std::string("caf\xE9"), Error_::none);
    node.report(QString("q"), Error_::none);
    expectListed({{QString("5 ") + QChar(0xB5) + "m", nullptr, 0},
                  {QString("caf") + QChar(0xE9), nullptr, 0},
                  {"q", nullptr, 0}});
}

TEST_F(Errors, TenthReportOfANodeIsFollowedByItsNoteThenSilence) {
    Error_ a(fakeNode(1));
    Error_ b(fakeNode(2));
    std::vector<Entry> expected;
    for (int i = 0; i < 10; ++i) {
        a.report("w" + std::to_string(i), Error_::warning);
        expected.push_back({"Warning: w" + QString::number(i), fakeNode(1), Error_::warning});
    }
    expected.push_back({perSourceNote, fakeNode(1), Error_::notice});
    a.report("eleventh", Error_::warning);
    b.report("other node", Error_::error);
    expected.push_back({"General Error: other node", fakeNode(2), Error_::error});
    expectListed(expected);

    // The dropped eleventh report did not count: 11 counted so far, so the
    // 989th static report reaches 1000 and is followed by the global note.
    for (int i = 0; i < 989; ++i) Error_::reportStatic("s", Error_::none);
    std::vector<Entry> all = listed();
    ASSERT_EQ(all.size(), expected.size() + 990);
    EXPECT_EQ(all[all.size() - 2], (Entry{"s", nullptr, 0}));
    EXPECT_EQ(all.back(), (Entry{globalNote, nullptr, Error_::notice}));

    Error_::reportStatic("s", Error_::none);
    b.report("late", Error_::warning);
    Error_ c(fakeNode(3));
    c.report("new node", Error_::warning);
    EXPECT_EQ(listed().size(), all.size());
    EXPECT_EQ(receiver.rows.size(), all.size());
}

TEST_F(Errors, KernelErrorsCountTowardsTheGlobalLimit) {
    struct Case {
        int reports, kernelErrors;
    };
    // Exactly at the limit, and stepped past it by kernel errors.
    for (const Case& c : {Case{995, 5}, Case{998, 5}}) {
        SCOPED_TRACE(testing::Message() << c.reports << " reports, " << c.kernelErrors);
        errortesting::reset();
        for (int i = 0; i < c.reports; ++i) Error_::reportStatic("s", Error_::none);
        for (int i = 0; i < c.kernelErrors; ++i) reporterror_("kernel", -1, 1, 6);
        const size_t before = listed().size();
        ASSERT_EQ(before, static_cast<size_t>(c.reports + c.kernelErrors));

        Error_ node(fakeNode(4));
        node.report("dropped", Error_::warning);
        node.report("dropped too", Error_::warning);
        Error_::reportStatic("dropped", Error_::warning);
        reporterror_("kernel still listed", -1, 1, 19);
        const std::vector<Entry> all = listed();
        ASSERT_EQ(all.size(), before + 2);
        EXPECT_EQ(all[before], (Entry{globalNote, fakeNode(4), Error_::notice}));
        EXPECT_EQ(all[before + 1], (Entry{"kernel still listed", nullptr, 1}));
    }
}

TEST_F(Errors, FatalReportStopsTheRunOfItsThreadOnly) {
    Error_ node(fakeNode(5));
    int stops = 0;
    Error_::setFatalHandler([&stops] { ++stops; });

    node.report("diverged", Error_::fatal);
    EXPECT_EQ(stops, 1);
    Error_::reportStatic("static", Error_::fatal);
    EXPECT_EQ(stops, 1);
    std::thread other([&node] { node.report("elsewhere", Error_::fatal); });
    other.join();
    EXPECT_EQ(stops, 1);
    Error_::setFatalHandler({});
    node.report("unhandled", Error_::fatal);
    EXPECT_EQ(stops, 1);

    // Fatal reports are listed but not counted: ten more fit before the note.
    for (int i = 0; i < 11; ++i) node.report("w", Error_::warning);
    std::vector<Entry> expected = {
        {"Fatal Error: diverged Simulation stopped.", fakeNode(5), Error_::fatal},
        {"Fatal Error: static", nullptr, Error_::fatal},
        {"Fatal Error: elsewhere Simulation stopped.", fakeNode(5), Error_::fatal},
        {"Fatal Error: unhandled Simulation stopped.", fakeNode(5), Error_::fatal},
    };
    for (int i = 0; i < 10; ++i) expected.push_back({"Warning: w", fakeNode(5), Error_::warning});
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

    const int minusOne = -1, unknown = 77, code = 4, zero = 0;
    reporterror_("abcdef", id, Error_::warning, 3);
    reporterror_("none", minusOne, code, 4);
    reporterror_("unregistered", unknown, code, 12);
    reporterror_("replaced", zero, code, 8);
    Error_::fortranreport("no code", &id, nullptr);
    Error_::fortranreport("no source", nullptr, &code);
    expectListed({
        {"abc", fakeNode(6), Error_::warning},
        {"none", nullptr, 4},
        {"unregistered", nullptr, 4},
        {"replaced", fakeNode(8), 4},
        {"no code", fakeNode(6), Error_::undefined},
        {"no source", nullptr, 4},
    });
}

TEST_F(Errors, KernelForwardsThroughTheRegisteredHook) {
    const int id = Error_::newSourceId();
    Error_::addSource(id, fakeNode(9));
    errorhandling::testing::reset();
    errorhandling::seterrormode(errorhandling::tohost);
    errorhandling::error("kernel says", id, Error_::illegalInput);
    errorhandling::error("without source");
    errorhandling::seterrormode(errorhandling::standard);
    errorhandling::testing::reset();
    expectListed({{"kernel says", fakeNode(9), Error_::illegalInput},
                  {"without source", nullptr, Error_::undefined}});
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
    expectListed({});
    for (int i = 0; i < 7; ++i) node.report("e", Error_::none);
    EXPECT_EQ(listed().size(), 7u);
    EXPECT_EQ(listed().back().message, perSourceNote);

    // Destroying any node empties the whole list.
    { Error_ other(fakeNode(11)); }
    EXPECT_EQ(receiver.deletes.back(), -1);
    expectListed({});
}

TEST_F(Errors, OnlyTheFirstWindowIsTaken) {
    RecordingReceiver second;
    Error_::setMainWindow(&second);
    Error_::setMainWindow(nullptr);
    Error_::reportStatic("one", Error_::notice);
    EXPECT_EQ(receiver.connects, 1);
    EXPECT_EQ(second.connects, 0);
    EXPECT_TRUE(second.rows.empty());
    expectListed({{"Note: one", nullptr, Error_::notice}});
}

TEST(ErrorsWithoutWindow, EntriesAreKeptInTheList) {
    errortesting::reset();
    Error_::addError("kept", fakeNode(12), Error_::error);
    EXPECT_EQ(listed(), (std::vector<Entry>{{"kept", fakeNode(12), Error_::error}}));
    errortesting::reset();
}

}  // namespace
