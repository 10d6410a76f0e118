#include "controls/whiteboardole/olecore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

TEST(PlayStateName, NamesTheNineStatesAndNothingElse)
{
    const QStringList expected{u"Stopped"_s, u"Paused"_s, u"Playing"_s, u"Waiting"_s,
        u"ScanForward"_s, u"ScanReverse"_s, u"SkipForward"_s, u"SkipReverse"_s, u"Closed"_s};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Ole::PlayStateName(i), expected[i]) << i;
    EXPECT_TRUE(Ole::PlayStateName(-1).isEmpty());
    EXPECT_TRUE(Ole::PlayStateName(9).isEmpty());
}

struct NumberRow {
    const char16_t *text;
    std::optional<qint16> expected;
};

class ParseShortNumberTest : public ::testing::TestWithParam<NumberRow>
{
};

TEST_P(ParseShortNumberTest, AcceptsTrimmedNumbersThatFit)
{
    const NumberRow row = GetParam();
    EXPECT_EQ(Ole::ParseShortNumber(QString::fromUtf16(row.text)), row.expected)
        << QString::fromUtf16(row.text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rows, ParseShortNumberTest,
    ::testing::Values(NumberRow{u"0", 0}, NumberRow{u"  640 ", 640}, NumberRow{u"-12", -12},
        NumberRow{u"12.6", 13}, NumberRow{u"32767", 32767}, NumberRow{u"-32768", -32768},
        NumberRow{u"32768", std::nullopt}, NumberRow{u"1e9", std::nullopt},
        NumberRow{u"", std::nullopt}, NumberRow{u"   ", std::nullopt},
        NumberRow{u"abc", std::nullopt}, NumberRow{u"12px", std::nullopt},
        NumberRow{u"nan", std::nullopt}, NumberRow{u"inf", std::nullopt}));

TEST(PropertyErrorText, CarriesTheNumber)
{
    EXPECT_EQ(Ole::PropertyErrorText(3), u"第3个属性输入错误"_s);
    EXPECT_EQ(Ole::InternalErrorText(), u"函数内部错误"_s);
}

class AllowedWebAddressTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        allowed = root.path() + u"/temp/"_s;
        QDir().mkpath(allowed + u"course"_s);
        QDir().mkpath(root.path() + u"/elsewhere"_s);
        touch(allowed + u"course/page.html"_s);
        touch(root.path() + u"/elsewhere/secret.html"_s);
        QFile::link(root.path() + u"/elsewhere/secret.html"_s, allowed + u"link.html"_s);
    }
    static void touch(const QString &path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<html></html>");
    }
    QUrl check(const QString &source) const { return Ole::AllowedWebAddress(source, allowed); }

    QTemporaryDir root;
    QString allowed;
};

TEST_F(AllowedWebAddressTest, WebAddressesPass)
{
    EXPECT_EQ(check(u"http://example.org/a?b=1"_s), QUrl(u"http://example.org/a?b=1"_s));
    EXPECT_EQ(check(u"  HTTPS://example.org/ "_s).scheme(), u"https"_s);
}

TEST_F(AllowedWebAddressTest, FilesOfTheTemporaryFolderPass)
{
    const QString page = allowed + u"course/page.html"_s;
    EXPECT_EQ(check(page), QUrl::fromLocalFile(page));
    EXPECT_EQ(check(QUrl::fromLocalFile(page).toString()), QUrl::fromLocalFile(page));
}

TEST_F(AllowedWebAddressTest, EverythingElseIsRefused)
{
    const QStringList refused{
        u"javascript:alert(1)"_s,
        u"data:text/html,<script>alert(1)</script>"_s,
        u"ftp://example.org/x"_s,
        u"chrome://settings"_s,
        u"view-source:http://example.org"_s,
        u"http://"_s,
        u"file:///etc/passwd"_s,
        u"/etc/passwd"_s,
        root.path() + u"/elsewhere/secret.html"_s,
        allowed + u"../elsewhere/secret.html"_s,
        allowed + u"link.html"_s, // a link out of the folder
        allowed + u"course/missing.html"_s,
        u"course/page.html"_s, // relative: no base to resolve against
        u"file://otherhost"_s + allowed + u"course/page.html"_s,
        u""_s,
    };
    for (const QString &source : refused)
        EXPECT_FALSE(check(source).isValid()) << source.toStdString();
}

TEST(FileNamePart, CutsAtEitherSeparator)
{
    EXPECT_EQ(Ole::FileNamePart(u"/a/b/song.mp3"_s), u"song.mp3"_s);
    EXPECT_EQ(Ole::FileNamePart(u"c:\\course\\song.wav"_s), u"song.wav"_s);
    EXPECT_EQ(Ole::FileNamePart(u"plain.avi"_s), u"plain.avi"_s);
}
