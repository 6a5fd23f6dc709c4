#include "text_encoding.h"

#include <cstdint>
#include <cstring>

#include "combining_marks.h"

namespace {

// Code points of the bytes 0x80..0xFF in Windows-1251; 0 marks the one unassigned byte.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void AppendUtf8(std::string &out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when it is malformed, and -1 when it
// is a correct beginning cut off by the end of the text.
int SequenceLength(std::string_view text, std::size_t i) {
    const auto b0 = static_cast<std::uint8_t>(text[i]);
    if (b0 < 0x80) return 1;
    int length;
    std::uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= text.size()) return -1;
        const auto b = static_cast<std::uint8_t>(text[i + k]);
        const std::uint8_t min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
        if (b < min || b > max) return 0;
    }
    return length;
}

char32_t DecodeSequence(std::string_view text, std::size_t i, int length) {
    const auto b0 = static_cast<std::uint8_t>(text[i]);
    if (length == 1) return b0;
    char32_t cp = b0 & (0x7F >> length);
    for (int k = 1; k < length; ++k)
        cp = (cp << 6) | (static_cast<std::uint8_t>(text[i + k]) & 0x3F);
    return cp;
}

// Well-formed up to the end; *cut is set to where a sequence cut off by the end begins.
bool ScanUtf8(std::string_view text, std::size_t *cut) {
    *cut = text.size();
    for (std::size_t i = 0; i < text.size();) {
        // Titles are mostly ASCII: eight bytes at a time while no byte has its top bit set.
        std::uint64_t word;
        if (i + 8 <= text.size() &&
            (std::memcpy(&word, text.data() + i, 8), (word & 0x8080808080808080ull) == 0)) {
            i += 8;
            continue;
        }
        const int n = SequenceLength(text, i);
        if (n == 0) return false;
        if (n < 0) {
            *cut = i;
            return true;
        }
        i += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    std::size_t cut;
    return ScanUtf8(text, &cut) && cut == text.size();
}

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80) {
            out += c;
        } else if (b >= 0xC0) {
            AppendUtf8(out, 0x0410 + (b - 0xC0));  // А..я are contiguous
        } else {
            const char16_t cp = kCp1251High[b - 0x80];
            AppendUtf8(out, cp ? cp : 0xFFFD);
        }
    }
    return out;
}

bool LooksLikeCp1251Cyrillic(std::string_view bytes) {
    const auto isCyrillic = [](std::uint8_t b) { return b >= 0xC0 || b == 0xA8 || b == 0xB8; };
    const auto isLetter = [&](std::uint8_t b) {
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80;
    };
    bool longCyrillicWord = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (!isLetter(b)) {
            ++i;
            continue;
        }
        std::size_t high = 0, plain = 0, cyrillic = 0;
        for (; i < bytes.size() && isLetter(static_cast<std::uint8_t>(bytes[i])); ++i) {
            const auto c = static_cast<std::uint8_t>(bytes[i]);
            if (c < 0x80)
                ++plain;
            else
                ++high;
            if (isCyrillic(c)) ++cyrillic;
        }
        if (high == 0) continue;
        if (plain != 0 || cyrillic != high) return false;
        if (cyrillic >= 2) longCyrillicWord = true;
    }
    return longCyrillicWord;
}

std::string DisplayTextToUtf8(std::string_view text) {
    std::size_t cut;
    if (ScanUtf8(text, &cut)) return std::string(text.substr(0, cut));
    return Cp1251ToUtf8(text);
}

std::string Utf8WithReplacements(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size();) {
        const int n = SequenceLength(text, i);
        if (n > 0) {
            out.append(text, i, static_cast<std::size_t>(n));
            i += static_cast<std::size_t>(n);
        } else {
            AppendUtf8(out, 0xFFFD);
            ++i;
        }
    }
    return out;
}

std::string ShownText(std::string_view text) {
    std::size_t cut;
    if (!ScanUtf8(text, &cut)) {
        // One byte is one code point, and Windows-1251 has no combining marks.
        return Cp1251ToUtf8(text.substr(0, kMaxShownCodePoints));
    }
    text = text.substr(0, cut);
    std::string out;
    out.reserve(text.size() < 4 * kMaxShownCodePoints ? text.size() : 4 * kMaxShownCodePoints);
    std::size_t shown = 0;       // code points in out
    std::size_t run = 0;         // combining marks kept after the last character
    std::size_t clusterEnd = 0;  // where the last complete character and its marks end in out
    for (std::size_t i = 0; i < text.size();) {
        const int n = SequenceLength(text, i);  // > 0: the text is well-formed up to cut
        const char32_t cp = DecodeSequence(text, i, n);
        const bool mark = IsCombiningMark(cp);
        if (!mark) {
            clusterEnd = out.size();
            if (shown == kMaxShownCodePoints) return out;
            run = 0;
        } else if (run == kMaxCombiningRun) {
            i += static_cast<std::size_t>(n);
            continue;
        } else if (shown == kMaxShownCodePoints) {
            // The last character would lose marks: it goes as a whole.
            out.resize(clusterEnd);
            return out;
        } else {
            ++run;
        }
        out.append(text, i, static_cast<std::size_t>(n));
        ++shown;
        i += static_cast<std::size_t>(n);
    }
    return out;
}
