#include "app/theme.h"

#include <array>

namespace quillmark::app {

namespace {

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}

}  // namespace

bool Theme::isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

Theme Theme::of(const QPalette& palette) {
    Theme theme;
    theme.dark = isDark(palette);
    theme.window = palette.color(QPalette::Window);
    theme.base = palette.color(QPalette::Base);
    theme.text = palette.color(QPalette::Text);
    theme.secondaryText = mix(theme.text, theme.base, theme.dark ? 0.40 : 0.45);
    theme.accent = palette.color(QPalette::Highlight);
    theme.onAccent = palette.color(QPalette::HighlightedText);
    theme.incoming = theme.dark ? mix(theme.base, QColor(Qt::white), 0.13) : mix(theme.base, QColor(Qt::black), 0.075);
    theme.onIncoming = theme.text;
    theme.link = palette.color(QPalette::Link);
    theme.separator = mix(theme.text, theme.base, 0.85);
    theme.warning = theme.dark ? QColor(0x5c, 0x4a, 0x12) : QColor(0xfc, 0xee, 0xc0);
    theme.onWarning = theme.dark ? QColor(0xf6, 0xe7, 0xb5) : QColor(0x4a, 0x3a, 0x00);
    theme.placeholder = mix(theme.base, theme.text, 0.08);
    return theme;
}

QColor Theme::avatar(const QString& key) const {
    // Soft colours of the desktops' own palettes; white initials stay readable on each.
    static constexpr std::array<QRgb, 8> colours = {0x3584e4, 0x2190a4, 0x3a944a, 0xc88800,
                                                    0xed5b00, 0xe62d42, 0xd56199, 0x9141ac};
    // FNV-1a over the UTF-16 units: the same key gives the same colour in every run and build.
    uint32_t hash = 2166136261u;
    for (const QChar c : key) hash = (hash ^ c.unicode()) * 16777619u;
    const size_t index = hash % colours.size();
    QColor colour = QColor::fromRgb(colours[index]);
    return dark ? colour.darker(115) : colour;
}

QPalette Theme::lightPalette() {
    QPalette palette;
    const QColor window(0xfa, 0xfa, 0xfa), base(0xff, 0xff, 0xff), text(0x24, 0x24, 0x24);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(0xf4, 0xf4, 0xf4));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0xf0, 0xf0, 0xf0));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x1c, 0x71, 0xd8));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(0xe6, 0xe6, 0xe6));
    palette.setColor(QPalette::Mid, QColor(0xc8, 0xc8, 0xc8));
    palette.setColor(QPalette::Dark, QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Shadow, QColor(0x60, 0x60, 0x60));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xa0, 0xa0, 0xa0));
    return palette;
}

QPalette Theme::darkPalette() {
    QPalette palette;
    const QColor window(0x24, 0x24, 0x24), base(0x1e, 0x1e, 0x1e), text(0xf0, 0xf0, 0xf0);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2a));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x36, 0x36, 0x36));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x78, 0xae, 0xed));
    palette.setColor(QPalette::ToolTipBase, QColor(0x30, 0x30, 0x30));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    palette.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    palette.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    palette.setColor(QPalette::Shadow, QColor(0x0a, 0x0a, 0x0a));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x70, 0x70));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x70, 0x70, 0x70));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x70));
    return palette;
}

}  // namespace quillmark::app
