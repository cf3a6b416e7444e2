#include "interface/accessor.h"

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>


namespace {

// Time moves only when the test says so.
class ManualClock : public AccessorClock_ {
public:
    explicit ManualClock(qint64& now) : now(now), start(now) {}
    qint64 elapsed() const override { return now - start; }
    void restart() override { start = now; }

private:
    qint64& now;
    qint64 start;
};

// A parameter whose live value is a block of its own shape.
class FakeParameter : public LiveParameter_ {
public:
    explicit FakeParameter(DataType_::type_ type, int length = 0)
        : Shape(DataType_(type), length > 0 ? 1 : 0, length > 0 ? &length : nullptr), data(Shape.allocateData()) {
        if (data) std::memset(data, 0, static_cast<size_t>(Shape.getSetSize(1)));
    }
    ~FakeParameter() { Shape.freeData(data); }

    int getDimension() override { return Shape.getDimension(); }
    QString getRealValue(const int*) override { return Shape.getType().getStringValue(data); }
    void setRealValue(QString text, const int*) override {
        ++textWrites;
        Shape.getType().setFromStringValue(data, text);
    }
    DataShape_& getShape() override { return Shape; }
    void* getData() override { return data; }

    template <typename T>
    T& at(int i = 0) {
        return static_cast<T*>(data)[i];
    }
    // A new block in this parameter's shape holding `value` everywhere.
    template <typename T>
    void* block(T value) {
        void* b = Shape.allocateData();
        for (int i = 0; i < Shape.getTotalSamples(); ++i) static_cast<T*>(b)[i] = value;
        return b;
    }

    DataShape_ Shape;
    void* data;
    int textWrites = 0;
};

class Channel : public ::testing::Test {
protected:
    Channel() : accessor(std::make_unique<ManualClock>(now)) {
        QObject::connect(&accessor, &Accessor_::updateSetupStatus, [this](int rt) { status.push_back(rt); });
        QObject::connect(&accessor, &Accessor_::updateParameterDisplay,
                         [this](QString v) { display.push_back(v.toDouble()); });
        QObject::connect(&accessor, &Accessor_::plotHistory,
                         [this](QVector<double> x, QVector<double> y) { history.emplace_back(x, y); });
        QObject::connect(&accessor, &Accessor_::plotParameter, [this](ParameterValuePtr v) { whole.push_back(v); });
        QObject::connect(&accessor, &Accessor_::updatePlot, [this] { ++plots; });
    }

    // One round trip that takes `ms` milliseconds, then the channel's turn.
    void roundtrip(int rt, qint64 ms) {
        now += ms;
        accessor.execute(rt);
    }

    qint64 now = 1000;
    Accessor_ accessor;
    // Everything the channel sent, in order; values shown read back as numbers.
    std::vector<int> status;
    std::vector<double> display;
    std::vector<std::pair<QVector<double>, QVector<double>>> history;
    std::vector<ParameterValuePtr> whole;
    int plots = 0;
};

TEST_F(Channel, PublishesAtMostEvery50msAndEveryIntervalRoundtrips) {
    FakeParameter gain(DataType_::doubleprecision);
    accessor.reset();
    accessor.request(&gain, 500);
    accessor.simulationStarted();
    for (int rt = 1; rt <= 1200; ++rt) {
        gain.at<double>() = rt;
        roundtrip(rt, 20);
    }
    // 20 ms per round trip: the clock passes 50 ms every third round trip.
    ASSERT_EQ(status.size(), 400u);
    for (size_t k = 0; k < status.size(); ++k) EXPECT_EQ(status[k], 3 * int(k + 1));
    // The value at the first such round trip of 499 or more, then 500 later.
    EXPECT_EQ(display, (std::vector<double>{501, 1002}));
    EXPECT_EQ(plots, 2);

    roundtrip(1201, 50);  // not more than 50 ms: nothing
    EXPECT_EQ(status.back(), 1200);
    roundtrip(1202, 1);
    EXPECT_EQ(status.back(), 1202);

    accessor.simulationFinished();
    EXPECT_EQ(status.back(), -1);
    EXPECT_EQ(display.back(), 1200);
}

// A vector is handed over whole as a copy each time; interval 0 hands a
// value over once, and the end of the run shows no value.
TEST_F(Channel, WholeValuesAreCopiesAndIntervalZeroPublishesOnce) {
    FakeParameter spectrum(DataType_::doubleprecision, 4);
    for (int i = 0; i < 4; ++i) spectrum.at<double>(i) = i;
    accessor.request(&spectrum, 1);
    roundtrip(1, 60);
    for (int i = 0; i < 4; ++i) spectrum.at<double>(i) = -1;
    roundtrip(2, 60);
    ASSERT_EQ(whole.size(), 2u);
    const auto* first = static_cast<const double*>(whole[0]->getData());
    EXPECT_NE(first, spectrum.data);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(first[i], i);
        EXPECT_EQ(static_cast<const double*>(whole[1]->getData())[i], -1);
    }
    EXPECT_EQ(whole[0]->getShape().getTotalSamples(), 4);

    FakeParameter gain(DataType_::doubleprecision);
    gain.at<double>() = 2.5;
    accessor.request(&gain, 0);
    display.clear();
    for (int rt = 3; rt <= 10; ++rt) roundtrip(rt, 60);
    EXPECT_EQ(status.size(), 10u);
    EXPECT_EQ(display, (std::vector<double>{2.5}));
    EXPECT_TRUE(history.empty());
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(*static_cast<const double*>(whole[2]->getData()), 2.5);
    EXPECT_EQ(plots, 3);
    accessor.simulationFinished();
    EXPECT_EQ(display.size(), 1u);
}

TEST_F(Channel, HistoryHoldsTheNewest500ValuesEndingWithTheLatest) {
    FakeParameter power(DataType_::doubleprecision);
    accessor.request(&power, 1);
    for (int rt = 1; rt <= 1234; ++rt) {
        power.at<double>() = rt;
        roundtrip(rt, 51);
        ASSERT_EQ(history.size(), size_t(rt));
        const auto& [x, y] = history.back();
        ASSERT_EQ(x.size(), 500);
        ASSERT_EQ(y.size(), 500);
        EXPECT_EQ(y[499], rt);
        EXPECT_EQ(y[0], rt >= 500 ? rt - 499 : 0.0);  // places not filled yet read 0
    }
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(history.back().first[i], i - 500);
        EXPECT_EQ(history.back().second[i], 1234 - 499 + i);
    }
    accessor.request(&power, 1);  // a new request starts a new history
    roundtrip(1235, 51);
    EXPECT_EQ(history.back().second[498], 0.0);
    EXPECT_EQ(history.back().second[499], 1234);
}

TEST_F(Channel, ScalarsOfEveryTypeArePlottedAsNumbers) {
    FakeParameter flag(DataType_::logical), count(DataType_::integer), field(DataType_::complex),
        name(DataType_::string);
    flag.at<char>() = 1;
    count.at<int32_t>() = -7;
    field.at<std::complex<float>>() = {1.5f, -3.0f};
    int rt = 0;
    for (auto [p, plotted] : {std::pair{&flag, 1.0}, {&count, -7.0}, {&field, 1.5}, {&name, 0.0}}) {
        accessor.request(p, 1);
        roundtrip(++rt, 60);
        ASSERT_EQ(history.size(), size_t(rt));
        EXPECT_EQ(history.back().second[499], plotted) << rt;
    }
}

TEST_F(Channel, ATunedValueIsWrittenBetweenRoundtripsAndTheLastWriteWins) {
    FakeParameter loss(DataType_::doubleprecision);
    loss.at<double>() = 0.1;
    accessor.request(&loss, 1);
    // The first pending value is released (the leak checker would see it otherwise).
    accessor.write(loss.block(0.2), &loss);
    accessor.write(loss.block(0.3), &loss);
    EXPECT_EQ(loss.at<double>(), 0.1);
    roundtrip(1, 60);
    EXPECT_EQ(display.back(), 0.1);  // the value the round trip ran with
    EXPECT_EQ(loss.at<double>(), 0.3);
    roundtrip(2, 60);
    EXPECT_EQ(display.back(), 0.3);

    // A text replaces a pending value, and is written once.
    accessor.write(loss.block(0.4), &loss);
    accessor.write(QString("0.5"), &loss);
    roundtrip(3, 1);
    EXPECT_EQ(loss.at<double>(), 0.5);
    loss.at<double>() = 0.6;
    roundtrip(4, 1);
    EXPECT_EQ(loss.at<double>(), 0.6);
    EXPECT_EQ(loss.textWrites, 1);

    // A tune replaces a pending value and scales the value the setup holds
    // at the round trip, once; the watched value is shown as soon as it holds.
    accessor.write(loss.block(0.7), &loss);
    accessor.tune(200, &loss);
    loss.at<double>() = 0.25;
    display.clear();
    roundtrip(5, 1);
    EXPECT_EQ(loss.at<double>(), 0.5);
    EXPECT_EQ(display, std::vector<double>{0.5});
    roundtrip(6, 1);
    EXPECT_EQ(loss.at<double>(), 0.5);
}

TEST_F(Channel, ABusyChannelCostsOneRoundtripNeverTheValue) {
    FakeParameter loss(DataType_::doubleprecision);
    accessor.request(&loss, 1);
    accessor.write(loss.block(0.7), &loss);
    accessor.lock();
    roundtrip(1, 60);
    EXPECT_TRUE(status.empty());
    EXPECT_EQ(loss.at<double>(), 0.0);
    // The user interface waits 300 ms, then gives up; the value it offered is released.
    accessor.request(nullptr, 5);
    accessor.write(loss.block(0.9), &loss);
    accessor.unlock();
    roundtrip(2, 1);
    EXPECT_EQ(status, (std::vector<int>{2}));
    EXPECT_EQ(loss.at<double>(), 0.7);
}

TEST_F(Channel, ResetForgetsWatchHistoryAndPendingValue) {
    FakeParameter power(DataType_::doubleprecision);
    power.at<double>() = 4;
    accessor.request(&power, 1);
    roundtrip(1, 60);
    accessor.write(power.block(9.0), &power);
    accessor.reset();
    accessor.tune(50, &power);
    accessor.reset();
    roundtrip(2, 60);
    EXPECT_EQ(display.size(), 1u);
    EXPECT_EQ(power.at<double>(), 4.0);

    // A new watch counts its interval from the start again, with an empty history.
    accessor.request(&power, 100);
    roundtrip(50, 60);
    EXPECT_EQ(display.size(), 1u);
    roundtrip(99, 60);
    ASSERT_EQ(display.size(), 2u);
    EXPECT_EQ(history.back().second[498], 0.0);
}

}  // namespace
