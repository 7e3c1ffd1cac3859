#pragma once

#include <QHBoxLayout>
#include <QPushButton>

#include <initializer_list>

namespace zentrio {

// The buttons of a small window, right-aligned in one row.
inline QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace zentrio
