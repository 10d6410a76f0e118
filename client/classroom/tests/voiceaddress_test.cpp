#include "client/classroom/voiceaddress.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

struct AddressCase {
    const char *name;
    const char16_t *text;
    qint32 number;
};

class AddressToNumberTest : public ::testing::TestWithParam<AddressCase>
{
};

TEST_P(AddressToNumberTest, Converts)
{
    EXPECT_EQ(Classroom::AddressToNumber(QString::fromUtf16(GetParam().text)), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Texts, AddressToNumberTest,
    ::testing::Values(AddressCase{"loopback", u"127.0.0.1", 0x7F000001},
        AddressCase{"top_bit_set_is_negative", u"192.168.1.2", qint32(0xC0A80102)},
        AddressCase{"parts_below_16", u"10.1.2.3", 0x0A010203},
        AddressCase{"all_ones", u"255.255.255.255", -1}, AddressCase{"zero_address", u"0.0.0.0", 0},
        AddressCase{"port", u"8640", 8640}, AddressCase{"spaces_around", u" 8639 ", 8639},
        AddressCase{"empty", u"", 0}, AddressCase{"letters", u"abc", 0},
        AddressCase{"digits_then_letters", u"86x", 0}, AddressCase{"negative", u"-5", 0},
        AddressCase{"beyond_32_bits", u"4294967296", 0}, AddressCase{"three_parts", u"1.2.3", 0},
        AddressCase{"five_parts", u"1.2.3.4.5", 0}, AddressCase{"part_above_255", u"1.2.3.256", 0},
        AddressCase{"empty_part", u"1..2.3", 0}, AddressCase{"host_name", u"server.example", 0}),
    [](const ::testing::TestParamInfo<AddressCase> &row) { return std::string(row.param.name); });
