#include <gtest/gtest.h>

#include <memory>

#include "interface/accessor.h"
#include "interface/parameter.h"

namespace {

class AlwaysLate : public AccessorClock_ {
public:
    qint64 elapsed() const override { return 1000; }
    void restart() override {}
};

// The channel watches and tunes a tree parameter through its live view; the
// test's thread stands in for the setup's.
TEST(LiveParameter, TheChannelReadsAndWritesTheBoundFieldThroughTheView) {
    const double first = 1.5, second = 2.5;
    double field = first;
    Parameter_ P(DataType_::doubleprecision, 0, nullptr);
    P.setData(&field);
    Parameter_ copy(P);
    EXPECT_NE(copy.getLive(), P.getLive()) << "each parameter has its own view";

    Accessor_ accessor(std::make_unique<AlwaysLate>());
    QStringList shown;
    QObject::connect(&accessor, &Accessor_::updateParameterDisplay,
                     [&shown](const QString& text) { shown << text; });
    accessor.request(P.getLive(), 1);
    accessor.write(P.getType().getStringValue(&second), P.getLive());
    accessor.execute(0);
    EXPECT_EQ(field, second);
    auto* block = static_cast<double*>(P.getShape()->allocateData());
    *block = 4;
    accessor.write(block, P.getLive());
    accessor.execute(1);
    EXPECT_EQ(field, 4);
    // Each report is read before the write of its round trip.
    EXPECT_EQ(shown, (QStringList{P.getType().getStringValue(&first), P.getType().getStringValue(&second)}));
}

}  // namespace
