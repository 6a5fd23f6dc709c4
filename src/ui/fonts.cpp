// Font slots by face name, size in points and style flags, and fonts registered from memory
// for this process only.
#include <QByteArray>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <climits>
#include <cmath>

#include "drawing.h"
#include "ui_internal.h"

namespace {

// Larger glyphs would only cost memory in the glyph caches; no player text needs them.
constexpr int kMaxPixelSize = 2048;

double VerticalDotsPerInch() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 0.0;
    return dpi > 0.0 ? dpi : 96.0;
}

// The family as the font database spells it, so that "digital-7" finds "Digital-7" however
// the platform's own matching treats case; the request itself when no family matches, which
// leaves the choice of a substitute to Qt.
// The clock loads its font anew every second, so the list of families is kept until a font
// is registered.
QStringList *g_families = nullptr;

QString MatchFamilyName(const QString &face) {
    if (!g_families) g_families = new QStringList(QFontDatabase::families());
    for (const QString &family : *g_families) {
        if (family.compare(face, Qt::CaseInsensitive) == 0) return family;
    }
    return face;
}

// Character height in pixels of a size in points; 0 for no size.
int FontPixelSize(int points) {
    if (points <= 0) return 0;
    // Nearest integer, halves to even (the default rounding mode).
    const double pixels = std::nearbyint(points * VerticalDotsPerInch() / 72.0);
    if (pixels < 1.0) return 1;
    return pixels > kMaxPixelSize ? kMaxPixelSize : static_cast<int>(pixels);
}

}  // namespace

NativeHandle CreateFontInSlot(int slot, const std::string &face, int points, int style) {
    if (slot < 0) return 0;
    QFont font;
    const QString family = MatchFamilyName(DecodeDisplayText(face));
    if (!family.isEmpty()) font.setFamilies({family});
    // A size of 0 or below keeps the system font's own size: still a usable font.
    const int pixels = FontPixelSize(points);
    if (pixels > 0) font.setPixelSize(pixels);
    font.setWeight(style & kFontBold ? QFont::Bold : QFont::Normal);
    font.setItalic(style & kFontItalic);
    font.setUnderline(style & kFontUnderline);
    font.setStrikeOut(style & kFontStrikeOut);
    font.setStyleStrategy(style & kFontHighQuality
                              ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::PreferQuality)
                              : QFont::PreferDefault);
    return StoreFont(slot, font);
}

void RegisterFontFromMemory(const void *data, std::size_t length) {
    if (!data || length == 0 || length > static_cast<std::size_t>(INT_MAX)) return;
    // The database keeps its own copy of the bytes; a failure (id -1) registers nothing.
    const int id = QFontDatabase::addApplicationFontFromData(
        QByteArray(static_cast<const char *>(data), static_cast<qsizetype>(length)));
    if (id == -1) return;
    ForgetMeasuredTexts();
    delete g_families;
    g_families = nullptr;
}
