#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

std::string ClipboardText() {
    if (!QGuiApplication::instance()) return {};
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard) return {};
    QByteArray text = clipboard->text(QClipboard::Clipboard).toUtf8();
    if (static_cast<std::size_t>(text.size()) > kMaxClipboardBytes) {
        qsizetype cut = static_cast<qsizetype>(kMaxClipboardBytes);
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.truncate(cut);
    }
    return std::string(text.constData(), static_cast<std::size_t>(text.size()));
}
