#include "catalogue/DisplayRules.h"

#include <gtest/gtest.h>

using namespace tunelix::catalogue;

namespace {

struct NameCase { const char *stored; const char *shown; };

class FileNameDisplay : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameDisplay, RemovesExtensionThenPrefix)
{
    EXPECT_EQ(displayFileName(QString::fromUtf8(GetParam().stored)), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, FileNameDisplay, ::testing::Values(
    NameCase{"[Tunelix]Sunrise.mp3", "Sunrise"},
    NameCase{"Sunrise.MP3", "Sunrise.MP3"},
    NameCase{"a.mp3.mp3", "a"},
    NameCase{"[Tune.mp3lix]x", "x"},
    NameCase{"", ""},
    NameCase{"Don't Stop.mp3", "Don't Stop"},
    NameCase{"100%_mix.mp3", "100%_mix"},
    NameCase{"夜曲[Tunelix].mp3", "夜曲"}));

struct LengthCase { std::optional<int> seconds; const char *shown; };

class SongLengthDisplay : public ::testing::TestWithParam<LengthCase> {};

TEST_P(SongLengthDisplay, MinutesWithinTheHourAndSeconds)
{
    EXPECT_EQ(displaySongLength(GetParam().seconds), QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, SongLengthDisplay, ::testing::Values(
    LengthCase{75, "01:15"},
    LengthCase{3725, "02:05"},
    LengthCase{0, "00:00"},
    LengthCase{std::nullopt, "00:00"},
    LengthCase{59, "00:59"},
    LengthCase{3600, "00:00"},
    LengthCase{86399, "59:59"},
    LengthCase{-1, "59:59"}));

struct MarkerCase { MarkerList list; std::optional<int> value; std::optional<int> picture; };

class MarkerPictures : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(MarkerPictures, NoneForNullNegativeOrBeyondTheList)
{
    EXPECT_EQ(markerPicture(GetParam().list, GetParam().value), GetParam().picture);
}

INSTANTIATE_TEST_SUITE_P(Table, MarkerPictures, ::testing::Values(
    MarkerCase{MarkerList::StarLv, 0, 0},
    MarkerCase{MarkerList::StarLv, 4, 4},
    MarkerCase{MarkerList::StarLv, 5, std::nullopt},
    MarkerCase{MarkerList::StarLv, -1, std::nullopt},
    MarkerCase{MarkerList::FileState, 1, 1},
    MarkerCase{MarkerList::FileState, -1, std::nullopt},
    MarkerCase{MarkerList::FileState, std::nullopt, std::nullopt},
    MarkerCase{MarkerList::IsNew, 1, 1},
    MarkerCase{MarkerList::IsNew, 2, std::nullopt},
    MarkerCase{MarkerList::IsNew, -1, std::nullopt},
    MarkerCase{MarkerList::IsNew, std::nullopt, std::nullopt}));

} // namespace
