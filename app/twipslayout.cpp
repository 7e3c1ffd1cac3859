#include "app/twipslayout.h"

namespace zentrio::twips {

void fill(QWidget* widget, const QColor& background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, background == kGrey ? palette.color(QPalette::Base) : background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void colourText(QWidget* widget, const QColor& text)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

void navy(QLabel* label)
{
    fill(label, kNavy);
    colourText(label, label->palette().color(QPalette::HighlightedText));
}

void place(QWidget* widget, const char* name, std::span<const Place> table)
{
    widget->setObjectName(QLatin1String(name));
    for (const Place& p : table) {
        if (qstrcmp(p.name, name) != 0)
            continue;
        widget->setGeometry(px(p.left), px(p.top), px(p.width), px(p.height));
        if (p.font) {
            QFont font(QLatin1String(p.font));
            font.setPointSizeF(p.points);
            widget->setFont(font);
        }
        return;
    }
    qFatal("control %s has no place", name);
}

} // namespace zentrio::twips
