#include "interface/parameter.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "interface/cavitynode.h"
#include "kernel/cinterface.h"

namespace {

// A German desktop: the decimal separator is ",", which value texts never use.
class GermanDesktop : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

struct VerifyRow {
    DataType_::type_ type;
    const char* text;
    bool valid;
};

const VerifyRow verifyTable[] = {
    {DataType_::logical, "", true},
    {DataType_::logical, "true", true},
    {DataType_::logical, "FALSE", true},
    {DataType_::logical, "False", true},
    {DataType_::logical, " true", false},
    {DataType_::logical, "yes", false},
    {DataType_::integer, "", true},
    {DataType_::integer, "12", true},
    {DataType_::integer, "-7", true},
    {DataType_::integer, "12.0", false},
    {DataType_::integer, "1,000", false},
    {DataType_::integer, "99999999999", false},
    {DataType_::integer, "abc", false},
    {DataType_::doubleprecision, "", true},
    {DataType_::doubleprecision, "0.5", true},
    {DataType_::doubleprecision, "-1.5e-3", true},
    {DataType_::doubleprecision, "0,5", false},
    {DataType_::doubleprecision, "1,000.5", false},
    {DataType_::doubleprecision, "nan", false},
    {DataType_::doubleprecision, "inf", false},
    {DataType_::doubleprecision, "-inf", false},
    {DataType_::doubleprecision, "1e999", false},
    {DataType_::doubleprecision, "abc", false},
    {DataType_::quadprecision, "", true},
    {DataType_::quadprecision, "800e-9", true},
    {DataType_::quadprecision, "NaN", false},
    {DataType_::quadprecision, "0,8", false},
    {DataType_::complex, "", true},
    {DataType_::complex, "1,2", true},
    {DataType_::complex, "1 , 2", true},
    {DataType_::complex, "1.5, -2", true},
    {DataType_::complex, "1.5", false},
    {DataType_::complex, "1,2,3", false},
    {DataType_::complex, ",2", false},
    {DataType_::complex, "nan, 1", false},
    {DataType_::complex, "1, inf", false},
    {DataType_::complex, "1e39, 0", false},  // beyond single precision
    {DataType_::string, "", true},
    {DataType_::string, "anything at all", true},
    {DataType_::pulse, "", true},
    {DataType_::pulse, "whatever", true},
};

// A running setup is tuned to exactly the non-empty texts that verify; a
// refused text leaves the field alone, and no text writes a string.
TEST_F(GermanDesktop, EveryTypeAcceptsExactlyItsOwnValueTexts) {
    for (const VerifyRow& row : verifyTable) {
        const int samples[] = {16};
        const bool isPulse = row.type == DataType_::pulse;
        const std::string what = DataType_(row.type).getTypeString().toStdString() + " \"" + row.text + "\"";
        Parameter_ p(row.type, isPulse ? 1 : 0, isPulse ? samples : nullptr);
        p.setValue(row.text);
        EXPECT_EQ(p.verify(), row.valid) << what;
        if (isPulse) continue;
        alignas(16) unsigned char field[16] = {};
        p.setData(field);
        const bool written = row.valid && *row.text && row.type != DataType_::string;
        EXPECT_EQ(p.setRealValue(row.text, nullptr), written) << what;
        if (!written) {
            for (unsigned char b : field) ASSERT_EQ(b, 0) << what;
        } else if (row.type != DataType_::complex && row.type != DataType_::logical) {
            EXPECT_DOUBLE_EQ(p.getRealValue(nullptr).toDouble(), QString(row.text).toDouble()) << what;
        }
    }
}

TEST_F(GermanDesktop, RealValuesAreReadAndWrittenThroughTheBoundField) {
    double length = 0.25;
    Parameter_ p(DataType_::doubleprecision, 0, nullptr);
    EXPECT_FALSE(p.setRealValue("1", nullptr));  // unbound
    EXPECT_EQ(p.getRealValue(nullptr), "Parameter has no data in Parameter_::getRealValue()");
    p.setData(&length);
    // The text reads back in the C locale.
    EXPECT_EQ(p.getRealValue(nullptr).toDouble(), 0.25);
    EXPECT_TRUE(p.setRealValue("1.5", nullptr));
    EXPECT_EQ(length, 1.5);
    for (const char* refused : {"nan", "inf", "0,5", "", "abc"}) {
        EXPECT_FALSE(p.setRealValue(refused, nullptr)) << refused;
        EXPECT_EQ(length, 1.5) << refused;
    }

    // A copy writes to the same field.
    Parameter_ copy(p);
    EXPECT_TRUE(copy.setRealValue("-3e2", nullptr));
    EXPECT_EQ(p.getRealValue(nullptr).toDouble(), -300.0);

    // The pulse's time and centre frequency are extended values; a complex
    // value reads as "re, im".
    optics::quad_ time = 0;
    Parameter_ pulseTime(DataType_::quadprecision, 0, nullptr);
    pulseTime.setData(&time);
    EXPECT_TRUE(pulseTime.setRealValue("2.5e-12", nullptr));
    EXPECT_EQ(cinterface::todouble(time), 2.5e-12);
    EXPECT_EQ(pulseTime.getRealValue(nullptr).toDouble(), 2.5e-12);
    std::complex<float> z;
    Parameter_ complex(DataType_::complex, 0, nullptr);
    complex.setData(&z);
    EXPECT_TRUE(complex.setRealValue("1.5, -2", nullptr));
    EXPECT_EQ(z, std::complex<float>(1.5f, -2.f));

    int32_t count = 4;
    Parameter_ integer(DataType_::integer, 0, nullptr);
    integer.setData(&count);
    EXPECT_FALSE(integer.setRealValue("2.5", nullptr));
    EXPECT_TRUE(integer.setRealValue("12", nullptr));
    EXPECT_EQ(count, 12);

    const int samples[] = {4};
    Parameter_ array(DataType_::doubleprecision, 1, samples);
    EXPECT_EQ(array.getRealValue(nullptr), "Array");
    Parameter_ text(DataType_::string, 0, nullptr);
    text.troggleExpression(true);
    EXPECT_EQ(text.getRealValue(nullptr), "Expression");
    EXPECT_EQ(text.getExpression(), nullptr);
    p.troggleExpression(true);
    EXPECT_FALSE(p.isExpression());
}

TEST(Parameter, EditableTouchesOnlyTheValueCell) {
    CavityNode_ node;
    auto* p = new Parameter_(DataType_::doubleprecision, 0, nullptr);
    node.addParameter(p);
    EXPECT_EQ(p->getName()->flags(), Qt::ItemIsEditable);
    const Qt::ItemFlags textFlags = p->getText()->flags();
    p->setEditable(false);
    EXPECT_FALSE(p->getEditable());
    EXPECT_FALSE(p->getValue()->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(p->getValue()->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(p->getName()->flags(), Qt::ItemIsEditable);
    EXPECT_EQ(p->getText()->flags(), textFlags);
    p->setEditable(true);
    EXPECT_TRUE(p->getValue()->flags() & Qt::ItemIsEditable);

    auto* read = new Parameter_(QStringLiteral("Double"), 0, nullptr);
    node.addParameter(read);
    EXPECT_EQ(read->getType(), DataType_::doubleprecision);
    EXPECT_TRUE(read->getName()->flags() & Qt::ItemIsSelectable);
    EXPECT_FALSE(read->getHotChangeable());
    EXPECT_TRUE(read->getMeasurable());
}

}  // namespace
