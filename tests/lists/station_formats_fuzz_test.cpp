// Valid station lists of each standard form, randomly mutated by generators that always start
// alike so that every run sees the same inputs. Whatever the bytes, the reader returns only
// stations it would keep from a well-formed file: bounded in number, each an http(s) address
// within the bound, a clean title within its bound, all valid UTF-8, and it reads a
// mebibyte of hostile text in one pass.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "settings_text.h"
#include "station_formats.h"
#include "text_encoding.h"

namespace {

using Reader = std::function<std::vector<StationEntry>(std::string_view)>;

const std::vector<std::string> kPlsPieces = {"[playlist]\n",
                                             "[PLAYLIST]",
                                             "[",
                                             "]",
                                             "File",
                                             "file",
                                             "Title",
                                             "Length",
                                             "1",
                                             "2",
                                             "99",
                                             "0",
                                             "=",
                                             "\n",
                                             "\r\n",
                                             " ",
                                             "http://a/",
                                             "https://b.example:8000/x",
                                             "NumberOfEntries=",
                                             "Всё",
                                             "\xC0\xFF",
                                             "\0",
                                             ";",
                                             "\t",
                                             "4294967296",
                                             "-1"};
const std::vector<std::string> kM3uPieces = {
    "#EXTM3U\n", "#EXTINF:", "-1",       ",",         "\"",           "tvg-name=",    "Title",
    "\n",        "\r",       " ",        "http://a/", "HTTPS://b/",   "/local/a.mp3", "#EXT-X-",
    "#",         "Радио",    "\xE2\x80", "\0",        "\xEF\xBB\xBF", "http://"};
const std::vector<std::string> kXspfPieces = {"<?xml version=\"1.0\"?>",
                                              "<playlist>",
                                              "<trackList>",
                                              "<track>",
                                              "</track>",
                                              "<location>",
                                              "</location>",
                                              "<title>",
                                              "</title>",
                                              "<xspf:track>",
                                              "<![CDATA[",
                                              "]]>",
                                              "<!--",
                                              "-->",
                                              "<!DOCTYPE x [",
                                              "]>",
                                              "&amp;",
                                              "&#x41;",
                                              "&#1;",
                                              "&",
                                              ";",
                                              "<",
                                              ">",
                                              "/",
                                              "http://a/",
                                              "https://b/?q",
                                              "Название",
                                              "\xF0\x9F",
                                              "\0",
                                              " ",
                                              "<track/>",
                                              "<b>",
                                              "</b>"};

// Valid lists of each form, which the mutations start from.
const std::string kGoodPls =
    "[playlist]\nNumberOfEntries=3\nFile1=http://a.example:8000/live\nTitle1=Первая\n"
    "Length1=-1\nFile2=https://b.example/s\nTitle2=Two\nFile3=http://c/\nVersion=2\n";
const std::string kGoodM3u =
    "#EXTM3U\n#EXTINF:-1 tvg-name=\"a,b\",Радио\nhttp://a.example/stream\n"
    "#EXTINF:-1,Two\nhttps://b.example/x\nhttp://c/\n";
const std::string kGoodXspf =
    "<?xml version=\"1.0\"?><playlist xmlns=\"http://xspf.org/ns/0/\"><trackList>"
    "<track><location>http://a/?x=1&amp;y=2</location><title>A &#x42;</title></track>"
    "<track><title><![CDATA[B]]></title><location>https://b/</location></track>"
    "<!-- c --><track><location>http://c/</location></track></trackList></playlist>";

// A good list with a few random changes: pieces of the form put in, ranges cut out or doubled,
// bytes replaced by any byte.
std::string Mutated(std::mt19937 &random, const std::string &good,
                    const std::vector<std::string> &pieces) {
    std::string text = good;
    const int changes = std::uniform_int_distribution<int>(0, 8)(random);
    for (int i = 0; i < changes; ++i) {
        const std::size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        const std::size_t length = std::min<std::size_t>(random() % 16, text.size() - at);
        switch (random() % 4) {
            case 0:
                text.insert(at, pieces[random() % pieces.size()]);
                break;
            case 1:
                text.erase(at, length);
                break;
            case 2:
                text.insert(at, text.substr(at, length));
                break;
            default:
                if (at < text.size()) text[at] = static_cast<char>(random() & 0xFF);
                break;
        }
    }
    return text;
}

void ExpectSaneStations(const std::vector<StationEntry> &stations, const std::string &input) {
    ASSERT_LE(stations.size(), kMaxListedStations);
    for (const StationEntry &station : stations) {
        EXPECT_EQ(StationAddressOrEmpty(station.address), station.address) << input;
        EXPECT_FALSE(station.address.empty()) << input;
        EXPECT_LE(station.title.size(), kMaxStationTitleBytes) << input;
        EXPECT_EQ(CleanStationTitle(station.title), station.title) << input;
        EXPECT_TRUE(IsValidUtf8(station.title)) << input;
    }
}

void Fuzz(const Reader &read, const std::string &goodText, const std::vector<std::string> &pieces,
          unsigned start) {
    std::mt19937 random(start);
    int withStations = 0;
    for (int round = 0; round < 20000; ++round) {
        // As the player reads a file: its bytes brought to UTF-8 first.
        const std::string input = SettingsBytesToUtf8(Mutated(random, goodText, pieces));
        const std::vector<StationEntry> stations = read(input);
        ExpectSaneStations(stations, input);
        if (::testing::Test::HasFailure()) return;
        withStations += stations.empty() ? 0 : 1;
    }
    // The inputs reach the reader's paths that keep stations, not only its refusals.
    EXPECT_GT(withStations, 10000);
}

// One mebibyte of the form's most expensive pieces, read once within a generous bound.
void ReadsHostileMebibyteInOnePass(const Reader &read, const std::string &unit) {
    std::string text;
    while (text.size() < (1u << 20))
        text += unit;
    const auto start = std::chrono::steady_clock::now();
    ExpectSaneStations(read(text), "mebibyte");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(StationFormatsFuzz, Pls_MutatedInputs_SaneStations) {
    Fuzz(ReadPlsStations, kGoodPls, kPlsPieces, 1);
    ReadsHostileMebibyteInOnePass(ReadPlsStations, "[playlist]\nFile123456789=http://a/\n");
}

TEST(StationFormatsFuzz, M3u_MutatedInputs_SaneStations) {
    Fuzz(ReadM3uStations, kGoodM3u, kM3uPieces, 2);
    ReadsHostileMebibyteInOnePass(ReadM3uStations, "#EXTINF:\"\"\"\"\"\"\"\"\"\"\"\"\n");
}

TEST(StationFormatsFuzz, Xspf_MutatedInputs_SaneStations) {
    Fuzz(ReadXspfStations, kGoodXspf, kXspfPieces, 3);
    ReadsHostileMebibyteInOnePass(ReadXspfStations,
                                  "<track><title>&amp;&&&&&&&<b><b><b></title><location>");
    ReadsHostileMebibyteInOnePass(ReadXspfStations, "<<<<<<<<!--<![CDATA[<!DOCTYPE [");
}

TEST(StationFormatsFuzz, AnyForm_MutatedMixedInputs_SaneStations) {
    std::vector<std::string> all = kPlsPieces;
    all.insert(all.end(), kM3uPieces.begin(), kM3uPieces.end());
    all.insert(all.end(), kXspfPieces.begin(), kXspfPieces.end());
    for (const std::string *goodText : {&kGoodPls, &kGoodM3u, &kGoodXspf})
        Fuzz(ReadStandardStationList, *goodText, all, 4);
}

}  // namespace
