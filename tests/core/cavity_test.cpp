#include "core/cavity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/pulse.h"
#include "interface/error.h"
#include "interface/nodelinks.h"
#include "tests/core/enginefakes.h"
#include "tests/core/fakes.h"

namespace {

// Moves the pulse's peak away from the centre sample on every pass, so a
// recentring shows as the peak standing at the centre again.
class Displace : public FakeElement {
public:
    using FakeElement::FakeElement;
    void call(Pulse_* pulse) override {
        FakeElement::call(pulse);
        displace(pulse);
    }
    void call(Pulse_** list, int n) override {
        FakeElement::call(list, n);
        for (int j = 0; j < n; ++j) displace(list[j]);
    }
    static void displace(Pulse_* pulse) {
        auto& envelope = pulse->get()->envelope;
        std::rotate(envelope.begin(), envelope.begin() + 16, envelope.end());
    }
};

int peakIndex(Pulse_* pulse) {
    const auto& envelope = pulse->get()->envelope;
    return static_cast<int>(std::max_element(envelope.begin(), envelope.end(),
                                             [](auto a, auto b) { return std::abs(a) < std::abs(b); }) -
                            envelope.begin());
}

bool centred(Cavity_& c) { return peakIndex(c.getPulse()) == c.getPulse()->getSamples() / 2; }

struct CavityTest : ::testing::Test {
    FakeSetup setup;
    Journal journal;

    void SetUp() override {
        loggertesting::reset();
        Logger_::setOutStream(Logger_::none);  // stall reports are checked in the registry
        errortesting::reset();
        setup.samples = 256;
    }
    void TearDown() override { errortesting::reset(); }

    std::unique_ptr<Cavity_> cavity(int slots, bool recenter = false) {
        auto c = std::make_unique<Cavity_>(slots, &setup, nullptr);
        c->setRecenter(recenter);
        c->initPulseGaussian(100e-15, 1e-9, 800e-9);
        return c;
    }
};

TEST_F(CavityTest, SlotsFillInOrderAndRefuseWhenFull) {
    FakeElement a(journal, "A"), b(journal, "B");
    Cavity_ c(2, &setup, nullptr);
    EXPECT_EQ(c.addElement(&a), 0);
    EXPECT_EQ(c.addElement(&b, nullptr, 0), -1);
    EXPECT_EQ(c.addElement(&b, nullptr, -2), -1);
    EXPECT_EQ(c.addElement(&b), 1);
    EXPECT_EQ(c.addElement(&a), -1);
    Pulse_* list[] = {fakePulse(0), fakePulse(1)};
    EXPECT_EQ(c.addElement(&a, list, 2), -1);
    EXPECT_EQ(c.getElement(0), &a);
    EXPECT_EQ(c.getElement(1), &b);
    EXPECT_EQ(c.getElement(2), nullptr);
    EXPECT_EQ(c.getElement(-1), nullptr);
    EXPECT_EQ(c.nextElement(), &a);

    Cavity_ none(-3, &setup, nullptr);
    EXPECT_EQ(none.getElements(), 0);
    EXPECT_EQ(none.addElement(&a), -1);
}

TEST_F(CavityTest, ReadyNeedsEverySlotEveryInputAndAPulse) {
    FakeElement a(journal, "A"), e(journal, "E");
    Cavity_ c(2, &setup, nullptr);
    c.initPulseGaussian(100e-15, 1e-9, 800e-9);
    c.addElement(&a);
    EXPECT_FALSE(c.ready());  // a free slot
    Pulse_* list[] = {c.getPulse(), nullptr};
    c.addElement(&e, list, 2);
    EXPECT_FALSE(c.ready());  // an input not linked yet
    list[1] = c.getPulse();
    EXPECT_TRUE(c.ready());

    Cavity_ noPulse(0, &setup, nullptr);
    EXPECT_FALSE(noPulse.ready());
    noPulse.initPulseGaussian(100e-15, 1e-9, 800e-9);
    EXPECT_TRUE(noPulse.ready());
}

TEST_F(CavityTest, PulseIsMadeOnceWithTheSetupsSampleCount) {
    setup.samples = 512;
    Cavity_ c(0, &setup, nullptr);
    EXPECT_EQ(c.getPulse(), nullptr);
    c.initPulseGaussian(100e-15, 1e-9, 800e-9);
    Pulse_* first = c.getPulse();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getSamples(), 512);
    EXPECT_EQ(first->getCavity(), &c);
    c.initPulseGaussian(50e-15, 2e-9, 1000e-9);
    EXPECT_EQ(c.getPulse(), first);
}

TEST_F(CavityTest, OnePulseRingRunsAWholeRoundTripPerCall) {
    FakeElement a(journal, "A"), b(journal, "B"), x(journal, "X");
    auto c = cavity(3);
    c->addElement(&a);
    c->addElement(&b);
    c->addElement(&x);
    c->advance();
    EXPECT_EQ(journal, (Journal{"A", "B", "X"}));
    EXPECT_EQ(c->getPos(), 0);
    EXPECT_EQ(c->getRoundtrip(), 2);
    c->advance();
    EXPECT_EQ(journal, (Journal{"A", "B", "X", "A", "B", "X"}));
    EXPECT_EQ(c->getRoundtrip(), 3);
    for (Pulse_* p : a.pulses) EXPECT_EQ(p, c->getPulse());
}

TEST_F(CavityTest, LastCallReachesEveryHoldingSlot) {
    FakeElement a(journal, "A"), b(journal, "B");
    auto c = cavity(3);
    c->addElement(&a);
    c->addElement(&b);
    c->addElement(&a);
    c->lastCall();
    EXPECT_EQ(journal, (Journal{"A!", "B!", "A!"}));
}

TEST_F(CavityTest, RecentresAtEveryRoundTripStartWhenAsked) {
    Displace d(journal, "D");
    auto on = cavity(1, true);
    auto off = cavity(1, false);
    on->addElement(&d);
    off->addElement(&d);
    for (auto* c : {on.get(), off.get()}) {
        Displace::displace(c->getPulse());
        c->advance();  // recentred first, then displaced by the pass
        Displace::displace(c->getPulse());
    }
    EXPECT_EQ(peakIndex(on->getPulse()), on->getPulse()->getSamples() / 2 - 32);
    EXPECT_EQ(peakIndex(off->getPulse()), off->getPulse()->getSamples() / 2 - 48);
}

// E at slot 0 of A and at slot 1 of B (behind X); advanced A, then B.
TEST_F(CavityTest, BlockedCavityIsCarriedOnByTheRendezvousOfTheLastArrival) {
    Displace e(journal, "E"), x(journal, "X");
    auto A = cavity(1, true);
    auto B = cavity(2, true);
    Pulse_* list[] = {A->getPulse(), B->getPulse()};
    A->addElement(&e, list, 2);
    B->addElement(&x);
    B->addElement(&e, list, 2);

    A->advance();  // B stands at X: A waits
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(A->getPos(), 0);
    EXPECT_EQ(A->getRoundtrip(), 1);
    EXPECT_TRUE(centred(*A));  // recentred at the start of its round trip

    B->advance();  // X, then E with both pulses; A past its end, B wraps
    EXPECT_EQ(journal, (Journal{"X", "E*2"}));
    EXPECT_EQ(e.lists.at(0), (std::vector<Pulse_*>{A->getPulse(), B->getPulse()}));
    EXPECT_EQ(A->getPos(), 1);
    EXPECT_EQ(A->getRoundtrip(), 1);
    EXPECT_EQ(B->getPos(), 0);
    EXPECT_EQ(B->getRoundtrip(), 2);
    EXPECT_FALSE(centred(*A));

    A->advance();  // wraps only: recentred, nothing called
    EXPECT_EQ(journal.size(), 2u);
    EXPECT_EQ(A->getPos(), 0);
    EXPECT_EQ(A->getRoundtrip(), 2);
    EXPECT_TRUE(centred(*A));
    Displace::displace(A->getPulse());

    A->advance();  // starts at slot 0: recentred again, waits for B
    EXPECT_TRUE(centred(*A));
    EXPECT_EQ(journal.size(), 2u);
    EXPECT_EQ(A->getPos(), 0);
}

// E at slot 1 of A (behind Y) and at slot 0 of B; advanced A, then B.
TEST_F(CavityTest, CavityStandingAtTheElementBeforeItsFirstCallIsCarriedOn) {
    Displace e(journal, "E"), y(journal, "Y");
    auto A = cavity(2, true);
    auto B = cavity(2, true);
    FakeElement z(journal, "Z");
    Pulse_* list[] = {A->getPulse(), B->getPulse()};
    A->addElement(&y);
    A->addElement(&e, list, 2);
    B->addElement(&e, list, 2);
    B->addElement(&z);

    Displace::displace(B->getPulse());
    A->advance();  // Y, then E fires: B has not moved but stands at E
    EXPECT_EQ(journal, (Journal{"Y", "E*2"}));
    EXPECT_EQ(A->getPos(), 0);
    EXPECT_EQ(A->getRoundtrip(), 2);
    EXPECT_EQ(B->getPos(), 1);

    const int peak = peakIndex(B->getPulse());
    B->advance();  // starts at slot 1: no recentring, Z, wraps
    EXPECT_EQ(journal, (Journal{"Y", "E*2", "Z"}));
    EXPECT_EQ(peakIndex(B->getPulse()), peak);
    EXPECT_EQ(B->getPos(), 0);
    EXPECT_EQ(B->getRoundtrip(), 2);
}

// B holds E twice; A, carried past its only slot by the first firing, still
// stands at E (its slot 0) for the second.
TEST_F(CavityTest, CavityAtTheEndOfItsRingStandsAtItsFirstSlot) {
    FakeElement e(journal, "E");
    auto A = cavity(1);
    auto B = cavity(2);
    Pulse_* list[] = {A->getPulse(), B->getPulse()};
    A->addElement(&e, list, 2);
    B->addElement(&e, list, 2);
    B->addElement(&e, list, 2);

    B->advance();
    EXPECT_EQ(journal, (Journal{"E*2", "E*2"}));
    EXPECT_EQ(A->getPos(), 2);  // moved on once per firing
    EXPECT_EQ(A->getRoundtrip(), 1);
    EXPECT_EQ(B->getPos(), 0);
    EXPECT_EQ(B->getRoundtrip(), 2);

    A->advance();  // wraps without calling anything
    EXPECT_EQ(journal.size(), 2u);
    EXPECT_EQ(A->getPos(), 0);
    EXPECT_EQ(A->getRoundtrip(), 2);
}

TEST_F(CavityTest, DestructionClearsTheNodesLink) {
    CavityNode_ node;
    auto* c = new Cavity_(1, &setup, &node);
    node.Cavity = c;
    EXPECT_EQ(c->getCavityNode(), &node);
    delete c;
    EXPECT_EQ(node.Cavity, nullptr);
}

TEST_F(CavityTest, TracesOnlyTheFirstAndLastRoundTrips) {
    FakeElement a(journal, "A");
    auto c = cavity(1);
    c->addElement(&a);
    setup.roundtrips = 3;
    CapturedLog log(Logger_::debugA);
    std::ostringstream address;
    address << static_cast<const void*>(c.get());
    c->advance();  // round trip 1; it is 2 by the closing line
    c->advance();  // round trip 2: silent until it becomes 3
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Advancing cavity " + address.str(), "  Pos = 0",
                                                     "Advancing cavity done. Pos = 0"}));
}

TEST_F(CavityTest, WriteDumpsSlotsAndInputs) {
    FakeElement a(journal, "A"), e(journal, "E");
    auto c = cavity(2);
    Pulse_* list[] = {c->getPulse(), fakePulse(1)};
    c->addElement(&a);
    c->addElement(&e, list, 2);
    CapturedLog log(Logger_::debugA);
    c->write(1);
    auto addr = [](const void* p) {
        std::ostringstream s;
        s << p;
        return s.str();
    };
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{" Addr: " + addr(c.get()), " Elements: 2",
                                        " Pulse Addr: " + addr(c->getPulse()),
                                        "   Element: 0: ", "   Data: " + addr(&a) + ": ",
                                        "   Pulses: 1", "   Element: 1: ",
                                        "   Data: " + addr(&e) + ": ", "   Pulses: 2",
                                        "     Pulse: 0 Addr: " + addr(c->getPulse()),
                                        "     Pulse: 1 Addr: " + addr(fakePulse(1))}));
}

// An element that only counts its passes.
class Counter : public CavityElement_ {
public:
    Counter() : CavityElement_(nullptr, static_cast<ElementNode_*>(nullptr)) {}
    void call(Pulse_*) override { ++calls; }
    void call(Pulse_**, int) override { ++calls; }
    long calls = 0;
};

TEST_F(CavityTest, RoundTripsOfCavitiesMeetingAtASharedElementComplete) {
    Counter x, e, y;
    auto A = cavity(2);
    auto B = cavity(2);
    Pulse_* list[] = {A->getPulse(), B->getPulse()};
    A->addElement(&x);
    A->addElement(&e, list, 2);
    B->addElement(&e, list, 2);
    B->addElement(&y);
    Cavity_* cavities[] = {A.get(), B.get()};
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 2, A.get(), nullptr));
    EXPECT_EQ(A->getRoundtrip(), 6);
    EXPECT_EQ(x.calls, 5);
    EXPECT_EQ(e.calls, 5);
    EXPECT_GE(y.calls, 4);
    EXPECT_EQ(Error_::getErrorCode(0), -1);
}

TEST_F(CavityTest, CrossingSharedElementsAreReportedInsteadOfSpinning) {
    Counter e, f, z;
    auto A = cavity(2);
    auto B = cavity(2);
    auto loner = cavity(1);  // runs on its own and must not hide the stall
    Pulse_* list[] = {A->getPulse(), B->getPulse()};
    A->addElement(&e, list, 2);
    A->addElement(&f, list, 2);
    B->addElement(&f, list, 2);
    B->addElement(&e, list, 2);
    loner->addElement(&z);
    Cavity_* cavities[] = {A.get(), loner.get(), B.get()};
    Error_ reporter(fakeNode(3));
    EXPECT_FALSE(Cavity_::completeRoundtrip(cavities, 3, A.get(), &reporter));
    EXPECT_EQ(e.calls + f.calls, 0);
    EXPECT_LE(z.calls, 4);
    EXPECT_EQ(Error_::getErrorCode(0), Error_::error);
    EXPECT_EQ(Error_::getErrorSource(0), fakeNode(3));
    EXPECT_TRUE(Error_::getErrorMessage(0).startsWith("General Error: The cavities wait"));
}

TEST_F(CavityTest, FeedingCavityThatNeverArrivesIsReported) {
    Counter e, y;
    auto A = cavity(1);
    auto B = cavity(1);
    Pulse_* list[] = {A->getPulse(), B->getPulse()};
    A->addElement(&e, list, 2);
    B->addElement(&y);  // B is listed as an input of E but never holds it
    Cavity_* cavities[] = {A.get(), B.get()};
    EXPECT_FALSE(Cavity_::completeRoundtrip(cavities, 2, A.get(), nullptr));
    EXPECT_EQ(e.calls, 0);
    EXPECT_EQ(Error_::getErrorCode(0), Error_::error);
    EXPECT_EQ(Error_::getErrorSource(0), nullptr);
    EXPECT_FALSE(Cavity_::completeRoundtrip(cavities, 2, nullptr, nullptr));
}

// Random layouts of shared and one-pulse slots, judged against a plain run of
// many passes: the round trip is declared impossible exactly when the master
// never completes it.
TEST_F(CavityTest, StallVerdictAgreesWithALongPlainRun) {
    unsigned state = 12345;
    auto next = [&](unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    struct Layout {
        std::vector<std::unique_ptr<Cavity_>> cavities;
        std::vector<std::unique_ptr<Counter>> elements;
        std::vector<std::vector<Pulse_*>> lists;
    };
    auto build = [&](unsigned seed, Layout& l) {
        state = seed;
        const int k = 2 + static_cast<int>(next(2));
        std::vector<std::vector<int>> ring(k);  // element index per slot, -1: own
        const int shared = 1 + static_cast<int>(next(2));
        std::vector<std::vector<int>> feeders(shared);
        for (int s = 0; s < shared; ++s) {
            for (int c = 0; c < k; ++c)
                if (next(3) != 0) feeders[s].push_back(c);
            if (feeders[s].size() < 2) feeders[s] = {0, k - 1};
            for (int c : feeders[s])
                if (next(8) != 0) ring[c].push_back(s);  // now and then it never arrives
        }
        for (auto& r : ring) {
            const int own = static_cast<int>(next(3));
            for (int i = 0; i < own; ++i) r.insert(r.begin() + next(r.size() + 1), -1);
            for (size_t i = r.size(); i-- > 1;) std::swap(r[i], r[next(i + 1)]);
        }
        for (int c = 0; c < k; ++c) l.cavities.push_back(cavity(static_cast<int>(ring[c].size())));
        l.lists.assign(shared, {});
        for (int s = 0; s < shared; ++s) {
            l.elements.push_back(std::make_unique<Counter>());
            for (int c : feeders[s]) l.lists[s].push_back(l.cavities[c]->getPulse());
        }
        for (int c = 0; c < k; ++c)
            for (int s : ring[c]) {
                if (s < 0) {
                    l.elements.push_back(std::make_unique<Counter>());
                    l.cavities[c]->addElement(l.elements.back().get());
                } else {
                    l.cavities[c]->addElement(l.elements[s].get(), l.lists[s].data(),
                                              static_cast<int>(l.lists[s].size()));
                }
            }
    };
    int stalls = 0, completions = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Layout checked, plain;
        build(seed, checked);
        build(seed, plain);
        std::vector<Cavity_*> cc, pc;
        for (auto& c : checked.cavities) cc.push_back(c.get());
        for (auto& c : plain.cavities) pc.push_back(c.get());
        const int n = static_cast<int>(cc.size());
        for (int round = 0; round < 3; ++round) {
            const bool done = Cavity_::completeRoundtrip(cc.data(), n, cc[0], nullptr);
            const int start = pc[0]->getRoundtrip();
            for (int pass = 0; pass < 2000 && pc[0]->getRoundtrip() == start; ++pass)
                for (Cavity_* c : pc) c->advance();
            ASSERT_EQ(done, pc[0]->getRoundtrip() != start) << "seed " << seed << " round " << round;
            if (!done) {
                ++stalls;
                break;
            }
            ++completions;
        }
    }
    // Both verdicts occur among the layouts.
    EXPECT_GT(stalls, 20);
    EXPECT_GT(completions, 100);
}

}  // namespace
