#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

#include <span>

// Places controls from tables in twips (1/1440 inch), as the windows are
// designed, at 15 twips to a logical pixel (96 DPI); Qt scales logical
// pixels on high-DPI screens.
namespace zentrio::twips {

inline int px(int twips) { return (twips + (twips >= 0 ? 7 : -7)) / 15; }

struct Place {
    const char* name;
    int left, top, width, height;
    const char* font; // nullptr: the window's default
    double points;
};

inline const QColor kGrey(0xC0, 0xC0, 0xC0);
inline const QColor kNavy(0x00, 0x00, 0x80);

void fill(QWidget* widget, const QColor& background);
void colourText(QWidget* widget, const QColor& text);
// Navy background with the platform's highlight-text colour.
void navy(QLabel* label);

// Names the widget and puts it at its place in the table, with its font.
void place(QWidget* widget, const char* name, std::span<const Place> table);

// Creates a control, names it and places it.
template <typename W, typename... Args>
W* make(QWidget* parent, std::span<const Place> table, const char* name, Args&&... args)
{
    auto* widget = new W(std::forward<Args>(args)..., parent);
    place(widget, name, table);
    return widget;
}

} // namespace zentrio::twips
