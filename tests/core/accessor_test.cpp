#include "interface/accessor.h"

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/core/logcapture.h"

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
        : Shape(DataType_(type), length > 0 ? 1 : 0, length > 0 ? &length : nullptr),
          data(Shape.allocateData()) {
        if (data) std::memset(data, 0, static_cast<size_t>(Shape.getSetSize(1)));
    }
    ~FakeParameter() { Shape.freeData(data); }

    int getDimension() override { return Shape.getDimension(); }
    QString getRealValue(const int*) override {
        QStringList texts;
        for (int i = 0; i < Shape.getTotalSamples(); ++i)
            texts << Shape.getType().getStringValue(Shape.getSample(i, data));
        return texts.join(' ');
    }
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

// Everything the channel sent, in order.
struct Received {
    std::vector<int> status;
    std::vector<double> display;  // the texts shown, read back as numbers
    std::vector<std::pair<QVector<double>, QVector<double>>> history;
    std::vector<ParameterValuePtr> whole;
    int plots = 0;
};

class Channel : public ::testing::Test {
protected:
    Channel() : accessor(std::make_unique<ManualClock>(now)) {
        QObject::connect(&accessor, &Accessor_::updateSetupStatus,
                         [this](int rt) { got.status.push_back(rt); });
        QObject::connect(&accessor, &Accessor_::updateParameterDisplay,
                         [this](QString v) { got.display.push_back(v.toDouble()); });
        QObject::connect(&accessor, &Accessor_::plotHistory,
                         [this](QVector<double> x, QVector<double> y) {
                             got.history.emplace_back(x, y);
                         });
        QObject::connect(&accessor, &Accessor_::plotParameter,
                         [this](ParameterValuePtr v) { got.whole.push_back(v); });
        QObject::connect(&accessor, &Accessor_::updatePlot, [this] { ++got.plots; });
    }

    // One round trip that takes `ms` milliseconds, then the channel's turn.
    void roundtrip(int rt, qint64 ms) {
        now += ms;
        accessor.execute(rt);
    }

    qint64 now = 1000;
    Accessor_ accessor;
    Received got;
};

TEST_F(Channel, PublishesAtMostEvery50msAndEveryIntervalRoundtrips) {
    FakeParameter gain(DataType_::doubleprecision);
    accessor.reset();
    accessor.request(&gain, 500);
    accessor.simulationStarted();
    std::vector<int> shown;
    for (int rt = 1; rt <= 1200; ++rt) {
        gain.at<double>() = rt;
        const size_t before = got.display.size();
        roundtrip(rt, 20);
        if (got.display.size() > before) shown.push_back(rt);
    }
    // 20 ms per round trip: the clock passes 50 ms every third round trip.
    ASSERT_EQ(got.status.size(), 400u);
    for (size_t k = 0; k < got.status.size(); ++k) EXPECT_EQ(got.status[k], 3 * int(k + 1));
    // The first value at the first such round trip of 499 or more, then 500 later.
    EXPECT_EQ(shown, (std::vector<int>{501, 1002}));
    EXPECT_EQ(got.display, (std::vector<double>{501, 1002}));
    EXPECT_EQ(got.plots, 2);

    // Fast round trips publish nothing until 50 ms have passed.
    roundtrip(1201, 50);
    EXPECT_EQ(got.status.back(), 1200);
    roundtrip(1202, 1);
    EXPECT_EQ(got.status.back(), 1202);

    accessor.simulationFinished();
    EXPECT_EQ(got.status.back(), -1);
    EXPECT_EQ(got.display.back(), 1200);
}

TEST_F(Channel, IntervalZeroPublishesTheWholeValueOnce) {
    FakeParameter gain(DataType_::doubleprecision);
    gain.at<double>() = 2.5;
    accessor.request(&gain, 0);
    for (int rt = 1; rt <= 10; ++rt) roundtrip(rt, 60);
    EXPECT_EQ(got.status.size(), 10u);
    EXPECT_EQ(got.display, (std::vector<double>{2.5}));
    EXPECT_TRUE(got.history.empty());
    ASSERT_EQ(got.whole.size(), 1u);
    EXPECT_EQ(*static_cast<const double*>(got.whole[0]->getData()), 2.5);
    EXPECT_EQ(got.plots, 1);
    // Watching has stopped: the end of the run shows no value.
    accessor.simulationFinished();
    EXPECT_EQ(got.display.size(), 1u);
}

TEST_F(Channel, VectorsAreHandedOverWholeAsCopies) {
    FakeParameter spectrum(DataType_::doubleprecision, 4);
    for (int i = 0; i < 4; ++i) spectrum.at<double>(i) = i;
    accessor.request(&spectrum, 1);
    roundtrip(1, 60);
    for (int i = 0; i < 4; ++i) spectrum.at<double>(i) = -1;
    roundtrip(2, 60);

    EXPECT_TRUE(got.history.empty());
    ASSERT_EQ(got.whole.size(), 2u);
    // The first copy keeps the values it was taken with.
    const auto* first = static_cast<const double*>(got.whole[0]->getData());
    const auto* second = static_cast<const double*>(got.whole[1]->getData());
    EXPECT_NE(first, spectrum.data);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(first[i], i);
        EXPECT_EQ(second[i], -1);
    }
    EXPECT_EQ(got.whole[0]->getShape().getTotalSamples(), 4);
}

TEST_F(Channel, HistoryHoldsTheNewest500ValuesEndingWithTheLatest) {
    FakeParameter power(DataType_::doubleprecision);
    accessor.request(&power, 1);
    for (int rt = 1; rt <= 1234; ++rt) {
        power.at<double>() = rt;
        roundtrip(rt, 51);
        ASSERT_EQ(got.history.size(), size_t(rt));
        const auto& [x, y] = got.history.back();
        ASSERT_EQ(x.size(), 500);
        ASSERT_EQ(y.size(), 500);
        EXPECT_EQ(y[499], rt);
        // Before 500 values are stored, the older places read 0.
        EXPECT_EQ(y[0], rt >= 500 ? rt - 499 : 0.0);
    }
    const auto& [x, y] = got.history.back();
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(x[i], i - 500);
        EXPECT_EQ(y[i], 1234 - 499 + i);
    }

    // A new request starts a new history.
    accessor.request(&power, 1);
    roundtrip(1235, 51);
    EXPECT_EQ(got.history.back().second[498], 0.0);
    EXPECT_EQ(got.history.back().second[499], 1234);
}

TEST_F(Channel, ScalarsOfEveryTypeArePlottedAsNumbers) {
    struct Case {
        DataType_::type_ type;
        std::function<void(FakeParameter&)> set;
        double plotted;
    };
    const Case cases[] = {
        {DataType_::logical, [](FakeParameter& p) { p.at<char>() = 1; }, 1.0},
        {DataType_::logical, [](FakeParameter& p) { p.at<char>() = 0; }, 0.0},
        {DataType_::integer, [](FakeParameter& p) { p.at<int32_t>() = -7; }, -7.0},
        {DataType_::complex,
         [](FakeParameter& p) { p.at<std::complex<float>>() = {1.5f, -3.0f}; }, 1.5},
        {DataType_::string, [](FakeParameter&) {}, 0.0},
    };
    int rt = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(DataType_(c.type).getTypeString().toStdString());
        FakeParameter p(c.type);
        c.set(p);
        accessor.request(&p, 1);
        roundtrip(++rt, 60);
        ASSERT_FALSE(got.history.empty());
        EXPECT_EQ(got.history.back().second[499], c.plotted);
        got.history.clear();
    }
}

TEST_F(Channel, ATunedValueIsWrittenBetweenRoundtripsAndTheLastWriteWins) {
    FakeParameter loss(DataType_::doubleprecision);
    loss.at<double>() = 0.1;
    accessor.request(&loss, 1);
    // Both pending values belong to the channel; the first is released
    // (the leak checker of the sanitizer build would see it otherwise).
    accessor.write(loss.block(0.2), &loss);
    accessor.write(loss.block(0.3), &loss);
    EXPECT_EQ(loss.at<double>(), 0.1) << "nothing changes during a round trip";

    roundtrip(1, 60);
    // The value shown is the one the round trip ran with.
    EXPECT_EQ(got.display.back(), 0.1);
    EXPECT_EQ(loss.at<double>(), 0.3);
    roundtrip(2, 60);
    EXPECT_EQ(got.display.back(), 0.3);

    // A text replaces a pending value, and is written once.
    accessor.write(loss.block(0.4), &loss);
    accessor.write(QString("0.5"), &loss);
    roundtrip(3, 1);
    EXPECT_EQ(loss.at<double>(), 0.5);
    loss.at<double>() = 0.6;
    roundtrip(4, 1);
    EXPECT_EQ(loss.at<double>(), 0.6);
    EXPECT_EQ(loss.textWrites, 1);

    // A vector value is copied in whole.
    FakeParameter filter(DataType_::doubleprecision, 3);
    accessor.write(filter.block(2.0), &filter);
    roundtrip(5, 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(filter.at<double>(i), 2.0);
}

TEST_F(Channel, ABusyChannelCostsOneRoundtripNeverTheValue) {
    LogCapture log;
    FakeParameter loss(DataType_::doubleprecision);
    accessor.request(&loss, 1);
    accessor.write(loss.block(0.7), &loss);

    accessor.lock();
    roundtrip(1, 60);
    EXPECT_TRUE(got.status.empty());
    EXPECT_EQ(loss.at<double>(), 0.0);
    EXPECT_EQ(log.count("Did not obtain lock in Accessor_::execute()"), 1);

    // The user interface waits 300 ms, then gives up; the value it offered is released.
    accessor.request(nullptr, 5);
    accessor.write(loss.block(0.9), &loss);
    const std::string lines = log.take();
    EXPECT_NE(lines.find("Could not get lock in mutex in Accessor_::request()"), std::string::npos);
    EXPECT_NE(lines.find("Could not get lock in mutex in Accessor_::write(void* data, Parameter_* P)"),
              std::string::npos);
    accessor.unlock();

    roundtrip(2, 1);
    EXPECT_EQ(got.status, (std::vector<int>{2}));
    EXPECT_EQ(loss.at<double>(), 0.7);
}

TEST_F(Channel, ResetForgetsWatchHistoryAndPendingValue) {
    FakeParameter power(DataType_::doubleprecision);
    power.at<double>() = 4;
    accessor.request(&power, 1);
    roundtrip(1, 60);
    accessor.write(power.block(9.0), &power);

    accessor.reset();
    roundtrip(2, 60);
    EXPECT_EQ(got.display.size(), 1u);
    EXPECT_EQ(power.at<double>(), 4.0);

    // A new watch counts its interval from the start again, with an empty history.
    accessor.request(&power, 100);
    roundtrip(50, 60);
    EXPECT_EQ(got.display.size(), 1u);
    roundtrip(99, 60);
    ASSERT_EQ(got.display.size(), 2u);
    EXPECT_EQ(got.history.back().second[498], 0.0);
}

}  // namespace
